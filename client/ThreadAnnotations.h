#pragma once
// Which lock guards a field, and which functions need it held, in the terms of clang's
// thread-safety analysis (-Wthread-safety, with a standard library whose mutex is annotated);
// other compilers read them as plain notes.
#if defined(__clang__)
#define ACM_GUARDED_BY(lock) __attribute__((guarded_by(lock)))
#define ACM_REQUIRES(...) __attribute__((requires_capability(__VA_ARGS__)))
#define ACM_EXCLUDES(...) __attribute__((locks_excluded(__VA_ARGS__)))
#else
#define ACM_GUARDED_BY(lock)
#define ACM_REQUIRES(...)
#define ACM_EXCLUDES(...)
#endif
