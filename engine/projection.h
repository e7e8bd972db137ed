// The nest-egg projection: from the window's five texts to its result lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

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

// The calculator's inputs, so that a failure can point at the box to fix.
enum class Input { Rate, CurrentAge, RetireAge, Monthly, StartBal };

// A failed projection: the kind of failure, the input to fix and its text as typed. Where the
// projection outgrew what can be computed because the span between the two ages is longer than
// anyone saves for, also that span in years; the input is then the retirement age.
class ProjectionError : public NumberError {
  public:
    ProjectionError(Failure failure, Input input, std::string text,
                    std::optional<std::int32_t> spanYears = std::nullopt)
        : NumberError(failure), input_(input), text_(std::move(text)), spanYears_(spanYears) {}
    Input input() const { return input_; }
    const std::string& text() const { return text_; }
    std::optional<std::int32_t> spanYears() const { return spanYears_; }

  private:
    Input input_;
    std::string text_;
    std::optional<std::int32_t> spanYears_;
};

// Removes every occurrence of psRemoveStr from psLine, searching again from the start after
// each removal (so "aabb" without "ab" leaves ""), and returns the result, which psLine then
// also holds. TooLarge when a match starts beyond position 32,767 (counted in UTF-16
// code units from 1); psLine is then left unchanged. psRemoveStr must not be empty.
std::string Strip(std::string& psLine, std::string_view psRemoveStr);

// Throws ProjectionError; never returns a partial result.
NestEggResult ProjectNestEgg(const NestEggInputs& inputs,
                             const NumberFormat& format = kPlainNumbers);

}  // namespace engine
