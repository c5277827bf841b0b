#include "platform/desktop/SpellingService.h"

#include <enchant.h>

#include <cstdlib>
#include <fstream>

namespace velto {

struct EnchantSpellingService::Handles {
    EnchantBroker *broker = nullptr;
    EnchantDict *dictionary = nullptr;
    EnchantDict *personal = nullptr; // only with a word list of one's own
    std::string language;

    ~Handles() {
        if (broker == nullptr) {
            return;
        }
        if (personal != nullptr) {
            enchant_broker_free_dict(broker, personal);
        }
        if (dictionary != nullptr) {
            enchant_broker_free_dict(broker, dictionary);
        }
        enchant_broker_free(broker);
    }
};

namespace {

std::vector<std::string> installedLanguages(EnchantBroker *broker) {
    std::vector<std::string> languages;
    enchant_broker_list_dicts(
        broker,
        [](const char *tag, const char *, const char *, const char *, void *data) {
            static_cast<std::vector<std::string> *>(data)->emplace_back(tag);
        },
        &languages);
    return languages;
}

ssize_t byteLength(std::string_view word) {
    return static_cast<ssize_t>(word.size());
}

} // namespace

EnchantSpellingService::EnchantSpellingService()
    : EnchantSpellingService(Configuration{}) {}

EnchantSpellingService::EnchantSpellingService(Configuration configuration)
    : handles_(std::make_unique<Handles>()) {
    handles_->broker = enchant_broker_init();
    if (handles_->broker == nullptr) {
        return;
    }
    EnchantBroker *broker = handles_->broker;
    std::string language = configuration.language.value_or(std::string());
    if (language.empty()) {
        language = dictionaryLanguage(
            userLocaleName(),
            [broker](const std::string &tag) { return enchant_broker_dict_exists(broker, tag.c_str()) != 0; },
            installedLanguages(broker));
    }
    if (language.empty()) {
        return;
    }
    handles_->dictionary = enchant_broker_request_dict(broker, language.c_str());
    if (handles_->dictionary == nullptr) {
        return;
    }
    handles_->language = language;
    if (configuration.personalWordList) {
        std::filesystem::path path = *configuration.personalWordList;
        std::error_code ignored;
        std::filesystem::create_directories(path.parent_path(), ignored);
        if (!std::filesystem::exists(path, ignored)) {
            std::ofstream(path).flush();
        }
        handles_->personal = enchant_broker_request_pwl_dict(broker, path.c_str());
    }
}

EnchantSpellingService::~EnchantSpellingService() = default;

bool EnchantSpellingService::isAvailable() const {
    return handles_->dictionary != nullptr;
}

std::string EnchantSpellingService::language() const {
    return handles_->language;
}

bool EnchantSpellingService::isCorrect(std::string_view word) {
    if (handles_->dictionary == nullptr || word.empty()) {
        return true;
    }
    if (enchant_dict_check(handles_->dictionary, word.data(), byteLength(word)) == 0) {
        return true;
    }
    return handles_->personal != nullptr && enchant_dict_check(handles_->personal, word.data(), byteLength(word)) == 0;
}

std::vector<std::string> EnchantSpellingService::suggestions(std::string_view word, std::size_t limit) {
    std::vector<std::string> result;
    if (handles_->dictionary == nullptr || word.empty() || limit == 0) {
        return result;
    }
    std::size_t count = 0;
    char **list = enchant_dict_suggest(handles_->dictionary, word.data(), byteLength(word), &count);
    for (std::size_t index = 0; index < count && result.size() < limit; ++index) {
        result.emplace_back(list[index]);
    }
    if (list != nullptr) {
        enchant_dict_free_string_list(handles_->dictionary, list);
    }
    return result;
}

void EnchantSpellingService::ignore(std::string_view word) {
    if (handles_->dictionary != nullptr && !word.empty()) {
        enchant_dict_add_to_session(handles_->dictionary, word.data(), byteLength(word));
    }
}

void EnchantSpellingService::learn(std::string_view word) {
    if (word.empty()) {
        return;
    }
    if (handles_->personal != nullptr) {
        enchant_dict_add(handles_->personal, word.data(), byteLength(word));
    } else if (handles_->dictionary != nullptr) {
        enchant_dict_add(handles_->dictionary, word.data(), byteLength(word));
    }
}

std::string EnchantSpellingService::userLocaleName() {
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char *value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return {};
}

} // namespace velto
