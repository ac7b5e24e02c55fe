// Time texts as the operator types them: whatever parses formats as
// "hh:mm:ss" and parses again to the same time; whatever does not is a type
// mismatch.
#include "FuzzCheck.h"
#include "common/RuntimeError.h"
#include "schedule/TimeText.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<QTime> time = TimeText::parse(text);
    if (!time) {
        try {
            TimeText::toTime(text);
            FUZZ_CHECK(!"toTime accepted a text that parse refused");
        } catch (const RuntimeError& error) {
            FUZZ_CHECK(error.number() == ErrorNumber::TypeMismatch);
        }
        return 0;
    }
    FUZZ_CHECK(time->isValid() && time->msec() == 0);
    FUZZ_CHECK(TimeText::toTime(text) == *time);
    const QString formatted = TimeText::format(*time);
    FUZZ_CHECK(formatted.size() == 8);
    FUZZ_CHECK(TimeText::parse(formatted) == time);
    FUZZ_CHECK(TimeText::subtract(TimeText::add(*time, *time), *time) == *time);
    return 0;
}
