#pragma once
// The program's own version as one literal: the window title, the about text, "config.ini" and the
// version check are all made from it. A build may set it on the compiler's command line
// (QUOVANTA_PROGRAM_VERSION="2.035") to make a release of another version: the demo's new release
// (client/CMakeLists.txt, target quovanta_demo_release) is made that way.
#ifndef QUOVANTA_PROGRAM_VERSION
#define QUOVANTA_PROGRAM_VERSION "2.034"
#endif
