// quadrelo-convert: converts transfer files to workbooks from a script or a scheduled job.
#include "cli/batch_convert.h"
#include "platform/console.h"

#ifdef _WIN32
// Wide arguments, so that every file name arrives whole.
int wmain(int argc, wchar_t** argv) {
#else
int main(int argc, char** argv) {
#endif
  quadrelo::Console console;
  return quadrelo::cli::RunBatchConvert(quadrelo::cli::ArgumentsFromMain(argc, argv), console.out(),
                                        console.err());
}
