#include "cli/ProgressBar.h"

#include "base/Stop.h"

#include <algorithm>

namespace venqor::cli {

ProgressBar::ProgressBar(std::ostream& out, bool isTerminal)
    : out_(out)
    , enabled_(isTerminal)
{
}

void ProgressBar::ProgressStart(std::uint64_t maximum)
{
    maximum_ = maximum;
    percent_ = -1;
}

void ProgressBar::Progress(std::uint64_t position)
{
    ThrowIfStopRequested();
    if (!enabled_)
        return;
    const int percent
        = maximum_ > 0 ? static_cast<int>(std::min<std::uint64_t>(position * 100 / maximum_, 100)) : 100;
    const auto now = std::chrono::steady_clock::now();
    if (percent == percent_ || (drawn_ && now - last_ < interval))
        return;
    percent_ = percent;
    last_ = now;
    drawn_ = true;
    const int filled = percent * width / 100;
    std::string line = "\r[";
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(width - filled), ' ');
    line += "] ";
    const std::string number = std::to_string(percent);
    line.append(3 - number.size(), ' ');
    line += number + '%';
    out_ << line << std::flush;
}

void ProgressBar::ProgressEnd()
{
    if (!drawn_)
        return;
    out_ << '\r' << std::string(width + 7, ' ') << '\r' << std::flush;
    drawn_ = false;
}

} // namespace venqor::cli
