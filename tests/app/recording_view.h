#pragma once
// A view that records what the flow shows and answers its message boxes from a script.

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/flow_view.h"

namespace tolbe_test {

class RecordingView : public FlowView {
public:
    struct Box {
        std::wstring text;
        std::wstring caption;
        unsigned flags;
    };

    RecordingView() {
        for (int i = 0; i < 24; ++i) {
            tips.push_back(L"tip " + std::to_wstring(i));
        }
    }

    void SetStatusText(const std::wstring& text) override {
        if (text != statusText) {  // the window writes the control only on a change
            statusText = text;
            statusChanges.push_back(text);
        }
    }
    void SetPercentText(const std::wstring& text) override { percentTexts.push_back(text); }
    void SetProgressPos(int value) override { progressValues.push_back(value); }
    void ResetProgressDisplay() override { ++resets; }

    int MessageBox(const std::wstring& text, const std::wstring& caption, unsigned flags) override {
        boxes.push_back({text, caption, flags});
        ++openBoxes;
        if (whileBoxOpen) {
            whileBoxOpen();  // the nested loop of a modal box: ticks go on
        }
        --openBoxes;
        if (answers.empty()) {
            return kIdCancel;
        }
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }

    void EndDialog(int result) override {
        ++endDialogCalls;
        endResult = result;
    }

    void ShowNetworkFailure(const std::wstring& text) override {
        std::lock_guard<std::mutex> hold(m_lock);
        networkFailures.push_back(text);
    }

    std::vector<std::wstring> NetworkFailures() const {
        std::lock_guard<std::mutex> hold(m_lock);
        return networkFailures;
    }

    const std::vector<std::wstring>& Tips() const override { return tips; }

    std::vector<std::wstring> tips;
    std::wstring statusText;
    std::vector<std::wstring> statusChanges;
    std::vector<std::wstring> percentTexts;
    std::vector<int> progressValues;
    int resets = 0;
    std::vector<Box> boxes;
    int openBoxes = 0;
    std::deque<int> answers;
    std::function<void()> whileBoxOpen;
    int endDialogCalls = 0;
    int endResult = -1;

private:
    mutable std::mutex m_lock;
    std::vector<std::wstring> networkFailures;
};

}  // namespace tolbe_test
