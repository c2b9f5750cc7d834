/* Linkage helpers shared by the C headers of the messaging and support layers. */
#ifndef VELK_EXPORT_H
#define VELK_EXPORT_H

#ifdef __cplusplus
#define VELK_BEGIN_DECLS extern "C" {
#define VELK_END_DECLS }
#else
#define VELK_BEGIN_DECLS
#define VELK_END_DECLS
#endif

#if defined(__GNUC__)
#define VELK_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define VELK_PRINTF(fmt, args)
#endif

/* A function that never returns (it ends the process). */
#if defined(__GNUC__)
#define VELK_NORETURN __attribute__((noreturn))
#else
#define VELK_NORETURN
#endif

#endif
