// One search through the core function, from position 0 with no earlier hit. For
// bench/search.sh until the viewer window drives it.
//
//   kestrine-search-core <file> <text>      prints the hit's position, or "none"

#include "core/Search.h"

#include <cstdio>
#include <string>
#include <sys/stat.h>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <file> <text>\n", argv[0]);
        return 2;
    }
    struct stat st{};
    if (::stat(argv[1], &st) != 0)
        return 2;
    std::u16string text;
    for (const char* c = argv[2]; *c != 0; ++c)
        text.push_back(static_cast<unsigned char>(*c)); // Latin-1 is enough here
    const auto r = kestrine::searchFile(kestrine::Platform::system(), argv[1], st.st_size, 0, {},
                                        text);
    if (r.outcome == kestrine::SearchOutcome::CannotOpen)
        return 1;
    if (r.outcome == kestrine::SearchOutcome::Found)
        std::printf("%lld\n", static_cast<long long>(r.position));
    else
        std::printf("none\n");
    return 0;
}
