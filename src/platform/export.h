// How the drop-in library marks main6 as its one export.
#pragma once

#if defined(_WIN32)
#define VARNOCK_EXPORT extern "C" __declspec(dllexport)
#else
#define VARNOCK_EXPORT extern "C" __attribute__((visibility("default")))
#endif
