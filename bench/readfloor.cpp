// The least a program built on QtCore can do for a cut that finds its frames
// by walking every header of the source: start, read the whole source once
// from the page cache in the blocks the scan reads, copy the piece's bytes to
// a new file in the kernel, and exit. bench/cut-bench.sh times it beside
// snipwave-cut and dd: what is left to snipwave-cut's own work is the
// difference.
//
//   readfloor SOURCE OFFSET LENGTH OUTPUT

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: readfloor SOURCE OFFSET LENGTH OUTPUT\n");
        return 2;
    }
    const int in = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    const int out = ::open(argv[4], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (in < 0 || out < 0) {
        std::perror("readfloor");
        return 1;
    }
    std::vector<char> block(256 * 1024);
    while (::read(in, block.data(), block.size()) > 0) {
    }
    loff_t from = std::atoll(argv[2]);
    for (size_t left = size_t(std::atoll(argv[3])); left > 0;) {
        const ssize_t copied = ::copy_file_range(in, &from, out, nullptr, left, 0);
        if (copied <= 0) {
            std::perror("readfloor");
            return 1;
        }
        left -= size_t(copied);
    }
    return ::close(out) == 0 && ::close(in) == 0 ? 0 : 1;
}
