// Whole files, the program directory, profile files and the environment, on the ANSI Win32 API.
#include "runtime/files.h"

#include <windows.h>

#include <algorithm>
#include <new>
#include <string>

namespace {

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    ~FileHandle()
    {
        if (h_ != INVALID_HANDLE_VALUE)
            CloseHandle(h_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    // Closes now and tells whether the close succeeded (the last buffered writes may fail there).
    bool close()
    {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return h == INVALID_HANDLE_VALUE || CloseHandle(h) != 0;
    }

private:
    HANDLE h_;
};

constexpr DWORD kChunk = 1u << 20;

// The full path of `path`, in its long form when it exists; empty when it is no path.
std::wstring FullPath(const std::wstring& path)
{
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return std::wstring();
    std::wstring full(needed, L'\0');
    const DWORD got = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (got == 0 || got >= needed)
        return std::wstring();
    full.resize(got);
    const DWORD longNeeded = GetLongPathNameW(full.c_str(), nullptr, 0);
    if (longNeeded > 0) {
        std::wstring longForm(longNeeded, L'\0');
        const DWORD n = GetLongPathNameW(full.c_str(), longForm.data(), longNeeded);
        if (n > 0 && n < longNeeded) {
            longForm.resize(n);
            return longForm;
        }
    }
    return full;
}

// The volume and index of an existing file, read without access to its contents (so also while
// another handle holds it exclusively).
bool FileIdentity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info)
{
    FileHandle f(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return f.valid() && GetFileInformationByHandle(f.get(), &info);
}

}  // namespace

bool ReadWholeFile(const Text& path, ByteSet& out)
{
    out.clear();
    FileHandle f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.valid())
        return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(f.get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > out.max_size() / 2)
        return false;
    try {
        out.resize(static_cast<std::size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
        out.clear();
        return false;
    }
    std::size_t done = 0;
    while (done < out.size()) {
        DWORD want = static_cast<DWORD>(out.size() - done < kChunk ? out.size() - done : kChunk);
        DWORD got = 0;
        if (!ReadFile(f.get(), out.data() + done, want, &got, nullptr)) {
            out.clear();
            return false;
        }
        if (got == 0)
            break;  // the file shrank while being read
        done += got;
    }
    out.resize(done);
    return true;
}

bool WriteWholeFile(const Text& path, const void* data, std::size_t size)
{
    if (size != 0 && data == nullptr)
        return false;
    FileHandle f(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.valid())
        return false;
    const unsigned char* p = static_cast<const unsigned char*>(data);
    std::size_t done = 0;
    while (done < size) {
        DWORD want = static_cast<DWORD>(size - done < kChunk ? size - done : kChunk);
        DWORD wrote = 0;
        if (!WriteFile(f.get(), p + done, want, &wrote, nullptr) || wrote == 0)
            return false;
        done += wrote;
    }
    return f.close();
}

bool FileExists(const Text& path)
{
    if (path.empty())
        return false;
    DWORD attrs = GetFileAttributesA(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DeleteFileAt(const Text& path)
{
    return !path.empty() && DeleteFileA(path.c_str()) != 0;
}

bool IsSameFile(const std::wstring& a, const std::wstring& b)
{
    if (a.empty() || b.empty())
        return false;
    BY_HANDLE_FILE_INFORMATION x{}, y{};
    if (FileIdentity(a, x) && FileIdentity(b, y))
        return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
               x.nFileIndexLow == y.nFileIndexLow;
    const std::wstring fa = FullPath(a), fb = FullPath(b);
    return !fa.empty() && !fb.empty() &&
           CompareStringOrdinal(fa.c_str(), static_cast<int>(fa.size()), fb.c_str(), static_cast<int>(fb.size()),
                                TRUE) == CSTR_EQUAL;
}

Text ProgramDirectory()
{
    Text path;
    for (DWORD size = MAX_PATH; size <= 32768 * 2; size *= 2) {
        path.assign(size, '\0');
        DWORD n = GetModuleFileNameA(nullptr, path.data(), size);
        if (n == 0)
            return Text();
        if (n < size) {
            path.resize(n);
            break;
        }
    }
    return PathDirectory(path);
}

namespace {

// The 0-based offset of the last separator of a path, npos when it has none.
std::size_t LastSeparator(const Text& path)
{
    const int cut = std::max(FindTextReverse(path, "\\"), FindTextReverse(path, "/"));
    return cut > 0 ? static_cast<std::size_t>(cut) - 1 : Text::npos;
}

}  // namespace

Text PathFileName(const Text& path)
{
    const std::size_t cut = LastSeparator(path);
    return cut == Text::npos ? path : path.substr(cut + 1);
}

Text PathDirectory(const Text& path)
{
    const std::size_t cut = LastSeparator(path);
    return cut == Text::npos ? Text() : path.substr(0, cut);
}

bool WriteIniText(const Text& path, const Text& section, const Text& key, const Text& value)
{
    // Never a null section or key: those would delete the whole section or key.
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()) != 0;
}

Text ReadIniText(const Text& path, const Text& section, const Text& key, const Text& fallback)
{
    Text buf;
    for (DWORD size = 256; size <= (1u << 24); size *= 4) {
        buf.assign(size, '\0');
        DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buf.data(), size,
                                           path.c_str());
        if (n < size - 1) {
            buf.resize(n);
            return buf;
        }
    }
    buf.resize(buf.size() - 1);
    return buf;
}

Text ReadEnvironment(const Text& name)
{
    // Read through the wide function and converted here: the ANSI one of some platforms (Wine among
    // them) counts the value in characters rather than bytes and cuts double-byte values short.
    if (name.empty())
        return Text();
    int nameLength = MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, nullptr, 0);
    if (nameLength <= 0)
        return Text();
    std::wstring wideName(static_cast<std::size_t>(nameLength), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, wideName.data(), nameLength);
    std::wstring value(256, L'\0');
    for (int tries = 0; tries < 4; ++tries) {
        DWORD n = GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (n == 0)
            return Text();
        if (n < value.size()) {
            value.resize(n);
            break;
        }
        value.assign(n + 1, L'\0');  // n is the size needed, with the terminator
        if (tries == 3)
            return Text();
    }
    int bytes = WideCharToMultiByte(CP_ACP, 0, value.data(), static_cast<int>(value.size()), nullptr, 0, nullptr,
                                    nullptr);
    if (bytes <= 0)
        return Text();
    Text out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, value.data(), static_cast<int>(value.size()), out.data(), bytes, nullptr, nullptr);
    return out;
}
