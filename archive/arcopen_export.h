// Marks the classes that the Arcopen shared library exports; everything else stays hidden.
#pragma once

#if defined(_WIN32)
#define ARCOPEN_API __declspec(dllexport)
#else
#define ARCOPEN_API __attribute__((visibility("default")))
#endif
