// What every fuzz target shares: a property check that stops the run with the
// failing input saved, and C texts taken from the fuzzer's bytes.
#ifndef QUORVEL_FUZZCHECK_H
#define QUORVEL_FUZZCHECK_H

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

// abort() makes libFuzzer keep the input as a crash artefact.
#define FUZZ_CHECK(cond)                                                              \
    do {                                                                              \
        if (!(cond)) {                                                                \
            std::fprintf(stderr, "property failed: %s (%s:%d)\n", #cond, __FILE__,   \
                         __LINE__);                                                   \
            std::abort();                                                             \
        }                                                                             \
    } while (0)

// A text of at most cchMax characters without an inner NUL, as a field or a
// window would hold it.
inline std::string ConsumeText(FuzzedDataProvider &fdp, size_t cchMax)
{
    std::string s = fdp.ConsumeRandomLengthString(cchMax);
    return s.substr(0, strlen(s.c_str()));
}

// True when the field of cchField bytes holds a NUL.
inline bool IsTerminatedIn(const char *psz, size_t cchField)
{
    return memchr(psz, '\0', cchField) != nullptr;
}

#endif
