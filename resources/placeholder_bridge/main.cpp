// A bridge tool that does nothing but tell what it was asked: one argument per line.
#include <cstdio>

int main(int argc, char** argv) {
    std::printf("placeholder bridge tool, %d argument(s)\n", argc - 1);
    for (int i = 1; i < argc; ++i)
        std::printf("%s\n", argv[i]);
    return 0;
}
