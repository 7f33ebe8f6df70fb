#include "AboutPanel.h"

namespace
{
    void styleLabel (juce::Label& label, float fontHeight, juce::Justification justification)
    {
        label.setFont (juce::Font (fontHeight, juce::Font::plain));
        label.setJustificationType (justification);
        label.setEditable (false, false, false);
        label.setColour (juce::Label::textColourId, juce::Colours::azure);
        label.setColour (juce::TextEditor::textColourId, juce::Colours::black);
        label.setColour (juce::TextEditor::backgroundColourId, juce::Colour (0x00000000));
    }
}

std::unique_ptr<juce::TextButton> AboutPanel::makeButton (const juce::String& text)
{
    auto button = std::make_unique<juce::TextButton> ("new button");
    button->setButtonText (text);
    addAndMakeVisible (*button);
    button->addListener (this);
    return button;
}

std::unique_ptr<juce::Label> AboutPanel::makeLabel (float fontHeight, juce::Justification justification)
{
    auto label = std::make_unique<juce::Label> ("new label");
    styleLabel (*label, fontHeight, justification);
    addAndMakeVisible (*label);
    return label;
}

AboutPanel::AboutPanel (const juce::String& name, const juce::String& server)
    : applicationName (name),
      serverAddress (server)
{
    closeButton = makeButton (TRANS ("CLOSE"));
    aboutLabel = makeLabel (16.0f, juce::Justification::centred);
    updateButton = makeButton (TRANS ("Update"));
    updateLabel = makeLabel (15.0f, juce::Justification::centredLeft);
    keysLabel = makeLabel (15.0f, juce::Justification::topLeft);

    setSize (400, 400);

    aboutLabel->setText (juce::String ("Tocksley") + " v" + TOCKSLEY_VERSION_STRING + " by Orlavane" + "\n\n",
                         juce::dontSendNotification);
    showUpdateNotice (false);

    // The answer arrives later, on the message thread; until then there is no notice.
    updateCheck = std::make_unique<UpdateCheck> (getUpdateFile (serverAddress, applicationName),
                                                 [this] (bool available) { showUpdateNotice (available); });
}

// The update check, declared last, goes first: no answer can reach a half-deleted panel.
AboutPanel::~AboutPanel() = default;

juce::URL AboutPanel::getUpdateFile (const juce::String& server, const juce::String& name)
{
    return juce::URL ((server + name + ".txt").toLowerCase());
}

juce::URL AboutPanel::getWebSite (const juce::String& server)
{
    return juce::URL (server.endsWithChar ('/') ? server.dropLastCharacters (1) : server);
}

void AboutPanel::showUpdateNotice (bool available)
{
    updateAvailable = available;
    updateLabel->setText (available ? TRANS ("Update Available, please download the latest version.") : juce::String(),
                          juce::dontSendNotification);
    updateButton->setVisible (available);
}

void AboutPanel::showKeys (const juce::String& keyList)
{
    keysLabel->setText (keyList.isEmpty() ? juce::String() : TRANS ("Keys") + "\n" + keyList, juce::dontSendNotification);
}

void AboutPanel::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xe94e4e4e));
    g.setColour (juce::Colours::coral);
    g.drawRoundedRectangle (0.0f, 0.0f, (float) getWidth(), (float) getHeight(), 10.0f, 8.0f);
}

void AboutPanel::resized()
{
    closeButton->setBounds (getWidth() - 80, getHeight() - 38, 64, 24);
    aboutLabel->setBounds (8, 16, getWidth() - 16, 24);
    updateButton->setBounds (getWidth() - 96, 48, 80, 24);
    updateLabel->setBounds (8, 48, getWidth() - 128, 24);
    keysLabel->setBounds (24, 88, getWidth() - 48, getHeight() - 136);
}

void AboutPanel::buttonClicked (juce::Button* button)
{
    if (button == closeButton.get())
        setVisible (false);
    else if (button == updateButton.get())
        getWebSite (serverAddress).launchInDefaultBrowser();
}
