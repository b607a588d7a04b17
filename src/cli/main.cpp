#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--help") != 0) {
        std::fprintf(stderr, "hivora-cli: unknown command '%s'\n", argv[1]);
        return 2;
    }
    std::printf("usage: hivora-cli --help\n");
    return 0;
}
