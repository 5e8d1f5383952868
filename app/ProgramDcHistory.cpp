// The DC history's way out of the program: the data log as the ticks come, and Save as CSV.
#include "app/Program.h"
#include "host/PathText.h"
#include "host/trace/TraceText.h"

namespace orvane::app {

using controller::CrLf;
namespace box = controller::box;

// A log that cannot be written stops, once, with a box and a trace line; the panel runs on.
void Program::logDcTick(const controller::DcReadings& readings,
                        const controller::DcSample& sample) {
  if (!dcLog_) return;
  try {
    dcLog_->append(dcLogRow(sample, controller_->state().Switcher_Address, readings));
  } catch (const FileError& failure) {
    dcLog_.reset();
    if (trace_) trace_->write(std::string("DC log stopped: ") + failure.what());
    services_->messageBox(std::string("The DC log could not be written, and has stopped.") + CrLf +
                              CrLf + failure.what(),
                          box::ExclamationOk, controller_->state().Title_Text);
  }
}

void Program::saveDcHistory(const std::string& file) {
  try {
    const auto path = followLinks(host::pathOf(file), file);
    replaceWith(path, dcHistoryCsv(dcHistory(), controller_->state().Switcher_Address), file,
                std::chrono::milliseconds(2000),
                [this](auto until) { wait_.pausePainting(until); });
    if (trace_) trace_->write("DC history saved to " + host::trace::quotedText(file));
  } catch (const FileError& failure) {
    services_->messageBox(
        std::string("The DC history was not saved.") + CrLf + CrLf + failure.what(),
        box::ExclamationOk, controller_->state().Title_Text);
  }
}

}  // namespace orvane::app
