// The lock contract written into the code: which mutex guards which field,
// and which functions must be called with it held. Clang checks it
// (-Wthread-safety, a build of scripts/test); other compilers ignore it.
#pragma once

#if defined(__clang__)
#define QUILLORA_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define QUILLORA_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) QUILLORA_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY QUILLORA_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) QUILLORA_THREAD_ANNOTATION(guarded_by(x))
#define REQUIRES(...) QUILLORA_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define EXCLUDES(...) QUILLORA_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define ACQUIRE(...) QUILLORA_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) QUILLORA_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
