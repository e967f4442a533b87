// Prints zlib's CRC-32 of a file as eight hexadecimal digits, reading it in
// pieces of the size the integrity check uses.
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zlib-crc-file FILE\n");
    return 2;
  }
  const int fd = open(argv[1], O_RDONLY);
  if (fd < 0) {
    std::perror(argv[1]);
    return 1;
  }
  std::vector<unsigned char> piece(256 * 1024);
  uLong crc = crc32(0L, Z_NULL, 0);
  for (ssize_t n; (n = read(fd, piece.data(), piece.size())) > 0;) crc = crc32(crc, piece.data(), static_cast<uInt>(n));
  close(fd);
  std::printf("%08lX\n", crc);
  return 0;
}
