/* The floor of any conversion: read the whole input and write a file of the workbook's size.
   Usage: floor INPUT OUTPUT BYTES */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
  static char buffer[1 << 20];
  if (argc != 4) { fprintf(stderr, "usage: %s INPUT OUTPUT BYTES\n", argv[0]); return 2; }
  FILE* in = fopen(argv[1], "rb");
  FILE* out = fopen(argv[2], "wb");
  if (!in || !out) { perror("floor"); return 1; }
  unsigned long sum = 0;
  size_t n;
  /* Touch every byte, as any reader of the records must. */
  while ((n = fread(buffer, 1, sizeof buffer, in)) > 0) {
    for (size_t i = 0; i < n; i++) sum += (unsigned char)buffer[i];
  }
  memset(buffer, (int)(sum & 0x7F), sizeof buffer);
  for (long long left = atoll(argv[3]); left > 0; left -= (long long)sizeof buffer) {
    size_t chunk = left < (long long)sizeof buffer ? (size_t)left : sizeof buffer;
    if (fwrite(buffer, 1, chunk, out) != chunk) { perror(argv[2]); return 1; }
  }
  fclose(in);
  return fclose(out) == 0 ? 0 : 1;
}
