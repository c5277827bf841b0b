#pragma once

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velto {

/// The spelling dictionary the editor checks words against. Words are UTF-8. Main thread only.
class SpellingService {
public:
    virtual ~SpellingService() = default;

    /// False when no dictionary could be opened; every word then counts as correct.
    virtual bool isAvailable() const = 0;
    /// The dictionary's language tag, such as "en_US"; empty when none is open.
    virtual std::string language() const = 0;
    virtual bool isCorrect(std::string_view word) = 0;
    /// The dictionary's guesses for a misspelled word, best first, at most `limit`.
    virtual std::vector<std::string> suggestions(std::string_view word, std::size_t limit) = 0;
    /// Accepts the word until the application quits.
    virtual void ignore(std::string_view word) = 0;
    /// Adds the word to the personal word list, for good.
    virtual void learn(std::string_view word) = 0;
};

/// Spell checking with Enchant 2 and the installed Hunspell dictionaries.
class EnchantSpellingService final : public SpellingService {
public:
    struct Configuration {
        /// The dictionary's language; by default the one the locale names (see dictionaryLanguage).
        std::optional<std::string> language;
        /// A word list of one's own instead of Enchant's per-user list (tests keep theirs in a temporary
        /// folder). Created when missing.
        std::optional<std::filesystem::path> personalWordList;
    };

    EnchantSpellingService();
    explicit EnchantSpellingService(Configuration configuration);
    ~EnchantSpellingService() override;
    EnchantSpellingService(const EnchantSpellingService &) = delete;
    EnchantSpellingService &operator=(const EnchantSpellingService &) = delete;

    bool isAvailable() const override;
    std::string language() const override;
    bool isCorrect(std::string_view word) override;
    std::vector<std::string> suggestions(std::string_view word, std::size_t limit) override;
    void ignore(std::string_view word) override;
    void learn(std::string_view word) override;

    /// The dictionary for a locale name such as "de_CH.UTF-8": the locale's own language and region
    /// when installed, else its language alone, else "en_US", else the first installed dictionary;
    /// empty when none is installed. `installed` answers whether a tag has a dictionary.
    template <typename Installed>
    static std::string dictionaryLanguage(std::string_view localeName, const Installed &installed,
                                          const std::vector<std::string> &allInstalled);

    /// The locale the user reads in: LC_ALL, LC_MESSAGES or LANG, as the C library takes them.
    static std::string userLocaleName();

private:
    struct Handles;
    std::unique_ptr<Handles> handles_;
};

template <typename Installed>
std::string EnchantSpellingService::dictionaryLanguage(std::string_view localeName, const Installed &installed,
                                                       const std::vector<std::string> &allInstalled) {
    // "de_CH.UTF-8@euro" names the language "de" and the region "CH".
    std::string name(localeName.substr(0, localeName.find_first_of(".@")));
    std::replace(name.begin(), name.end(), '-', '_');
    const std::string languageOnly = name.substr(0, name.find('_'));
    for (const std::string &candidate : {name, languageOnly, std::string("en_US")}) {
        if (!candidate.empty() && candidate != "C" && candidate != "POSIX" && installed(candidate)) {
            return candidate;
        }
    }
    return allInstalled.empty() ? std::string() : allInstalled.front();
}

} // namespace velto
