#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace velto::bench {

struct Figure {
    std::string name;
    std::vector<double> samples;
};

/// The samples of each figure a benchmark measures, printed as they come and reported with their median and
/// worst at the end, on lines starting "figure".
class Figures {
public:
    void add(const std::string &name, double value) {
        auto found = std::find_if(figures_.begin(), figures_.end(), [&](const Figure &f) { return f.name == name; });
        if (found == figures_.end()) {
            figures_.push_back(Figure{name, {}});
            found = figures_.end() - 1;
        }
        found->samples.push_back(value);
        std::printf("  %-52s %10.2f\n", name.c_str(), value);
        std::fflush(stdout);
    }
    void report() const {
        for (Figure figure : figures_) {
            std::sort(figure.samples.begin(), figure.samples.end());
            std::printf("figure %-52s median %10.2f  worst %10.2f  (%zu runs)\n", figure.name.c_str(),
                        figure.samples[figure.samples.size() / 2], figure.samples.back(), figure.samples.size());
        }
    }

private:
    std::vector<Figure> figures_;
};

} // namespace velto::bench
