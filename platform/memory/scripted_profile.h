#pragma once
// In-memory stand-ins for the profile dialogs and the remembered settings: the unit tests script
// what the user answers and read what the program asked.
#include <deque>
#include <stdexcept>

#include "platform/profile_dialogs.h"

namespace platform::memory {

class ScriptedProfileDialogs final : public ProfileDialogs {
  public:
    struct FolderQuestion {
        std::wstring title;
        std::wstring start;
        std::vector<std::wstring> offered;
    };
    // What the user types; no distributor password means the box kept the author's.
    struct TypedPasswords {
        std::wstring author;
        std::optional<std::wstring> distributor;
    };

    // One answer per dialog, in order; nothing = Cancel. A dialog without an answer left is a
    // test's fault and throws.
    std::deque<std::optional<std::wstring>> folderAnswers;
    std::deque<std::optional<TypedPasswords>> passwordAnswers;

    std::vector<FolderQuestion> folderQuestions;
    std::vector<PasswordDialogTexts> passwordQuestions;

    std::optional<std::wstring> chooseFolder(const std::wstring& title, const std::wstring& start,
                                             const std::vector<std::wstring>& offered) override {
        folderQuestions.push_back({title, start, offered});
        if (folderAnswers.empty())
            throw std::logic_error("the folder dialog opened with no answer scripted");
        auto answer = std::move(folderAnswers.front());
        folderAnswers.pop_front();
        return answer;
    }

    std::optional<ProfilePasswords> askPasswords(const PasswordDialogTexts& texts) override {
        passwordQuestions.push_back(texts);
        if (passwordAnswers.empty())
            throw std::logic_error("the password dialog opened with no answer scripted");
        const auto typed = std::move(passwordAnswers.front());
        passwordAnswers.pop_front();
        if (!typed)
            return std::nullopt;
        return ProfilePasswords{Secret(typed->author),
                                Secret(typed->distributor.value_or(typed->author))};
    }
};

class MemorySettings final : public Settings {
  public:
    std::optional<std::wstring> folder;
    std::wstring root = L"C:\\Users\\tester\\SamsungCertificate";
    int writes = 0;

    std::optional<std::wstring> profileFolder() override { return folder; }
    void setProfileFolder(const std::optional<std::wstring>& value) override {
        folder = value;
        ++writes;
    }
    std::wstring defaultProfileRoot() override { return root; }
};

}  // namespace platform::memory
