// quadrelo-convert: converts transfer files to workbooks from a script or a scheduled job.
#include <iostream>

#include "cli/batch_convert.h"

#ifdef _WIN32
#include <windows.h>

// Wide arguments, so that every file name arrives whole; the console shows the UTF-8 we print.
int wmain(int argc, wchar_t** argv) {
  SetConsoleOutputCP(CP_UTF8);
#else
int main(int argc, char** argv) {
#endif
  return quadrelo::cli::RunBatchConvert(quadrelo::cli::ArgumentsFromMain(argc, argv), std::cout,
                                        std::cerr);
}
