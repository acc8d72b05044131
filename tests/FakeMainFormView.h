#pragma once

#include "form/MainFormView.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vidlume::test {

/// A main window without a toolkit: it keeps each control's state, logs every
/// change the form makes in order, and answers the dialogs as a test tells it.
class FakeMainFormView final : public form::MainFormView
{
public:
    struct State
    {
        std::string text;
        bool checked = false;
        int position = 0;
        bool enabled = true;
        bool readOnly = false;
    };

    State& operator[](form::Control control) { return controls[control]; }

    std::string controlText(form::Control control) const override { return state(control).text; }
    void setControlText(form::Control control, const std::string& text) override
    {
        controls[control].text = text;
    }
    bool controlChecked(form::Control control) const override { return state(control).checked; }
    int controlPosition(form::Control control) const override { return state(control).position; }
    void enableControl(form::Control control, bool enabled) override
    {
        controls[control].enabled = enabled;
        log.push_back((enabled ? "enable " : "disable ") + std::to_string(int(control)));
    }
    void setControlReadOnly(form::Control control, bool readOnly) override
    {
        controls[control].readOnly = readOnly;
        log.push_back((readOnly ? "read-only " : "writable ") + std::to_string(int(control)));
    }
    void focusControl(form::Control control) override { focused = control; }
    void setCaption(const std::string& text) override { caption = text; }
    void showWarning(const std::string& text) override { warnings.push_back(text); }
    std::optional<std::string> runOpenDialog(const std::vector<form::FileFilter>& filters) override
    {
        dialogFilters.push_back(filters);
        return nextFile;
    }
    std::optional<std::string> runFolderChooser() override { return nextFolder; }
    void showStatus(const std::string& text) override { statuses.push_back(text); }
    PublishResult publishWithProgress(const PageInputs& inputs) override
    {
        published.push_back(inputs);
        return publish ? publish(inputs) : PublishResult{};
    }
    void runSiteDialog(const std::vector<std::string>& sources, const PageInputs& options) override
    {
        siteDialogs.push_back(sources);
        siteOptions.push_back(options);
    }

    std::map<form::Control, State> controls;
    std::vector<std::string> log;
    std::optional<form::Control> focused;
    std::string caption;
    std::vector<std::string> warnings;
    std::vector<std::string> statuses;
    std::vector<std::vector<form::FileFilter>> dialogFilters;
    std::optional<std::string> nextFile;
    std::optional<std::string> nextFolder;
    std::function<PublishResult(const PageInputs&)> publish;
    std::vector<PageInputs> published;
    std::vector<std::vector<std::string>> siteDialogs; ///< the sources of each "Publish Many Videos"
    std::vector<PageInputs> siteOptions;

private:
    State state(form::Control control) const
    {
        const auto found = controls.find(control);
        return found == controls.end() ? State{} : found->second;
    }
};

/// Names an entry of the log as FakeMainFormView writes it.
inline std::string logged(const char* what, form::Control control)
{
    return std::string(what) + " " + std::to_string(int(control));
}

} // namespace vidlume::test
