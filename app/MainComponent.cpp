#include "MainComponent.h"
#include "AudioSetupPage.h"
#include "DeviceLatencyReporter.h"
#include "DeviceReconnector.h"
#include "FocusRing.h"
#include "KeyboardCommands.h"
#include "MetronomeProcessorEditor.h"
#include "engine/MetronomeProcessor.h"
#include "panel/MetronomeComponent.h"
#include "panel/PracticePage.h"

MainComponent::MainComponent (const juce::File& presetFile)
{
    // Without any device the program still runs; audio starts once one is chosen on the setup page.
    deviceManager.initialise (2, 2, nullptr, true, {}, nullptr);

    engine = std::make_unique<MetronomeProcessor> (presetFile);
    engine->setEditorFactory ([] (MetronomeProcessor& p) { return new MetronomeProcessorEditor (p); });
    editor.reset (engine->createEditor());

    // The editor's own size: once it is a page, the display shrinks it to the page area.
    const auto editorWidth = editor->getWidth();
    const auto editorHeight = editor->getHeight();

    tabs = std::make_unique<juce::TabbedComponent> (juce::TabbedButtonBar::TabsAtTop);
    addAndMakeVisible (*tabs);
    tabs->setSize (editorWidth, editorHeight + 30);
    tabs->setTabBarDepth (30);

    // The display holds its pages weakly: the editor is deleted here, before the display.
    tabs->addTab ("Tocksley", juce::Colours::black, editor.get(), true);
    // Whether START is shared is set once and left: it lives with the setup, not on the panel.
    linkStartStopButton = std::make_unique<juce::ToggleButton> (TRANS ("LINK: start and stop with the session"));
    linkStartStopButton->setSize (300, 28);
    linkStartStopButton->onClick = [this] { engine->setLinkStartStopSync (linkStartStopButton->getToggleState()); };
    tabs->addTab ("Audio Setup", juce::Colours::black, new AudioSetupPage (deviceManager, linkStartStopButton.get()), true);

    commands = std::make_unique<KeyboardCommands> (getPanel());
    commands->listenToKeysOf (this);
    getPanel().getAboutPanel().showKeys (commands->describeKeys());

    auto pressStart = [this] { commands->getCommandManager().invokeDirectly (KeyboardCommands::startStop, false); };
    tabs->addTab ("Practice", juce::Colours::black, new PracticePage (*engine, pressStart), true);
    tabs->getTabbedButtonBar().setCurrentTabIndex (panelTab);

    focusRing = std::make_unique<FocusRing>();
    addChildComponent (*focusRing);

    // A click on the window's background takes the focus from a field being typed
    // into, and Tab moves on from here.
    setWantsKeyboardFocus (true);

    player.setProcessor (engine.get());
    latencyReporter = std::make_unique<DeviceLatencyReporter> (deviceManager, *engine);
    deviceManager.addAudioCallback (&player);
    deviceManager.addMidiInputDeviceCallback ({}, &player.getMidiMessageCollector());
    reconnector = std::make_unique<DeviceReconnector> (deviceManager);

    setSize (juce::jmax (editorWidth, 432), juce::jmax (editorHeight, 640) + 30);
}

MainComponent::~MainComponent()
{
    // The player dies before the device manager: its collector must not stay registered.
    deviceManager.removeMidiInputDeviceCallback ({}, &player.getMidiMessageCollector());
    deviceManager.removeAudioCallback (&player);
    latencyReporter.reset();
    player.setProcessor (nullptr);

    commands->listenToKeysOf (nullptr);
    focusRing.reset();
    editor.reset();
    engine.reset();
    tabs.reset();
    commands.reset();
}

MetronomeComponent& MainComponent::getPanel() noexcept
{
    return static_cast<MetronomeProcessorEditor&> (*editor).getPanel();
}

void MainComponent::parentHierarchyChanged()
{
    // While no control has the focus, keys go to the window itself: they are heard there.
    commands->listenToKeysOf (getTopLevelComponent());
}

void MainComponent::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xffc1d0ff));
}

void MainComponent::resized()
{
    tabs->setBounds (getLocalBounds());
}
