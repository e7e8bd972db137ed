// The nest-egg projection: from the window's five texts to its result lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/amounts.h"

namespace engine {

// The window's inputs, exactly as the user left them.
struct NestEggInputs {
    std::string rateItem;  // the selected rate item, such as "10%"
    std::string currentAge;
    std::string retireAge;
    std::string monthly;
    std::string startBal;
};

struct NestEggResult {
    std::string projectionText;
    std::string headingText;
    std::string goalText;
    std::string scenarioText;  // only meaningful when hasScenario; otherwise keep the old line
    bool hasScenario = false;
};

// The projection outgrew what can be computed because the span between the two ages is longer
// than anyone saves for. Names the retirement age, the box to correct, and gives the span.
class HorizonError : public OverflowError {
  public:
    HorizonError(std::string retireAge, std::int32_t years);
    std::int32_t years() const { return years_; }

  private:
    std::int32_t years_;
};

// Removes every occurrence of psRemoveStr from psLine, searching again from the start after
// each removal (so "aabb" without "ab" leaves ""), and returns the result, which psLine then
// also holds. OverflowError when a match starts beyond position 32,767 (counted in UTF-16
// code units from 1); psLine is then left unchanged. psRemoveStr must not be empty.
std::string Strip(std::string& psLine, std::string_view psRemoveStr);

// Throws ConversionError or OverflowError naming the input at fault (HorizonError where the
// span between the ages is); never returns a partial result.
NestEggResult ProjectNestEgg(const NestEggInputs& inputs,
                             const NumberFormat& format = kPlainNumbers);

}  // namespace engine
