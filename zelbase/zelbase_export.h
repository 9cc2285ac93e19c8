// Marks the classes that the Zelbase shared library exports; everything else stays hidden.
#pragma once

#if defined(_WIN32)
#define ZELBASE_API __declspec(dllexport)
#else
#define ZELBASE_API __attribute__((visibility("default")))
#endif
