// quadrelo-convert: converts transfer files to workbooks from a script or a scheduled job.
#include <iostream>

#include "cli/batch_convert.h"

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
#else
int main(int argc, char** argv) {
#endif
  return quadrelo::cli::RunBatchConvert(quadrelo::cli::ArgumentsFromMain(argc, argv), std::cout,
                                        std::cerr);
}
