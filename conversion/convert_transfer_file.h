#pragma once

#include <string>

#include "platform/ui_services.h"
#include "workbook/application.h"

namespace quadrelo::conversion {

class ReportSink;

// What a run needs from its caller. Every member may be left empty: no messages are shown, the
// run never yields, nothing is reported, and the real application is created.
struct RunServices {
  MessageSink* messages = nullptr;
  EventPump* events = nullptr;
  ReportSink* report = nullptr;
  workbook::ObjectFactory getObject = workbook::GetObject;
  workbook::ObjectFactory createObject = workbook::CreateObject;
};

// Turns the transfer file `sFileIn` into the workbook `sLibro` (both UTF-8 paths). Shows its own
// messages through `services.messages` and returns nothing: the caller cannot tell a complete
// run from a refused one. After a complete run the input stays open under its file number until
// files::Reset().
void ConvertTransferFile(const std::string& sFileIn, const std::string& sLibro,
                         const RunServices& services = {});

}  // namespace quadrelo::conversion
