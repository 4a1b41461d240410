#pragma once

// GLib orders what one thread hands it before another thread gets it back (a signal handler's,
// pad probe's or promise's data, and its release), but with locks ThreadSanitizer cannot see:
// GLib is not built with it. These calls state that order where the data changes hands, so the
// checker judges our code by the order GLib really keeps; in other builds they do nothing.

#if defined(__SANITIZE_THREAD__)
#define QUILLORY_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QUILLORY_THREAD_SANITIZER 1
#endif
#endif

#ifdef QUILLORY_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace quillory {

namespace glib_handoff {
inline void acquire([[maybe_unused]] void* data) {
#ifdef QUILLORY_THREAD_SANITIZER
    __tsan_acquire(data);
#endif
}
inline void release([[maybe_unused]] void* data) {
#ifdef QUILLORY_THREAD_SANITIZER
    __tsan_release(data);
#endif
}
}  // namespace glib_handoff

// Everything this thread wrote before is visible to whoever gets `data` back from GLib.
template <class T>
T* handedToGlib(T* data) {
    glib_handoff::release(data);
    return data;
}

// A copy of the data GLib handed back, taken in its order with the other callbacks.
template <class T>
T fromGlib(void* data) {
    glib_handoff::acquire(data);
    T copy = *static_cast<const T*>(data);
    glib_handoff::release(data);
    return copy;
}

// GLib's destroy notify: after every callback that used the data.
template <class T>
void deleteFromGlib(void* data) {
    glib_handoff::acquire(data);
    delete static_cast<T*>(data);
}

}  // namespace quillory
