/* Whether this machine runs 32-bit code: one 32-bit system call (int 0x80, getpid) from a 64-bit
 * process. Where the kernel offers no 32-bit code segment (a paravirtualized guest, or a kernel without
 * IA-32 emulation) the call faults and the process dies with SIGSEGV; elsewhere it prints
 * "32-bit code runs" and exits 0. Wine's WoW64 needs exactly this: its ntdll.so sets up %fs through
 * int 0x80 before the first 32-bit instruction runs. */
#include <stdio.h>
#include <unistd.h>

int main(void)
{
    long r;
    __asm__ volatile("int $0x80" : "=a"(r) : "a"(20L) : "memory"); /* getpid is 20 in the 32-bit table */
    if (r != (long)getpid()) {
        printf("int 0x80 returned %ld\n", r);
        return 1;
    }
    printf("32-bit code runs\n");
    return 0;
}
