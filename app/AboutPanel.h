#pragma once

#include "UpdateCheck.h"

#include <juce_gui_basics/juce_gui_basics.h>

/**
    The about overlay of the control panel: names the product, its version and
    its maker, and tells when the maker's server offers a newer version, with a
    button that opens the maker's web site. Hidden until the panel's ABOUT button
    shows it; its CLOSE button hides it again.
*/
class AboutPanel : public juce::Component,
                   public juce::Button::Listener
{
public:
    /** serverAddress is the maker's web server, ending in a slash: the update file
        is the lower-case application name with ".txt" below it. */
    explicit AboutPanel (const juce::String& applicationName,
                         const juce::String& serverAddress = TOCKSLEY_UPDATE_SERVER);
    ~AboutPanel() override;

    void paint (juce::Graphics&) override;
    void resized() override;
    void buttonClicked (juce::Button*) override;

    /** True once the update check has found a newer version. */
    bool isUpdateAvailable() const noexcept     { return updateAvailable; }

    /** The file the update check asks for. */
    static juce::URL getUpdateFile (const juce::String& serverAddress, const juce::String& applicationName);

    /** The maker's web site: the server's address without its trailing slash. */
    static juce::URL getWebSite (const juce::String& serverAddress);

    juce::TextButton& getCloseButton() noexcept     { return *closeButton; }
    juce::TextButton& getUpdateButton() noexcept    { return *updateButton; }
    juce::Label& getAboutLabel() noexcept           { return *aboutLabel; }
    juce::Label& getUpdateLabel() noexcept          { return *updateLabel; }
    juce::Label& getKeysLabel() noexcept            { return *keysLabel; }

    /** Lists the keyboard's commands below the notices, one line each. */
    void showKeys (const juce::String& keyList);

private:
    std::unique_ptr<juce::TextButton> makeButton (const juce::String& text);
    std::unique_ptr<juce::Label> makeLabel (float fontHeight, juce::Justification);
    void showUpdateNotice (bool available);

    juce::String applicationName;
    juce::String serverAddress;

    std::unique_ptr<juce::TextButton> closeButton;
    std::unique_ptr<juce::Label> aboutLabel;
    std::unique_ptr<juce::TextButton> updateButton;
    std::unique_ptr<juce::Label> updateLabel;
    std::unique_ptr<juce::Label> keysLabel;

    bool updateAvailable = false;
    std::unique_ptr<UpdateCheck> updateCheck;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AboutPanel)
};
