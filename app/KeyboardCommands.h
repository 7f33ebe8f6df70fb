#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class MetronomeComponent;

/**
    The keys of a musician whose hands are on an instrument: Space starts and
    stops, T taps, Up/Down move the tempo by 1 BPM and Shift+Up/Down or Page
    Up/Down by 10, M mutes, A accents, L listens. Each command presses the
    panel's own button, so a key does exactly what a click does.

    Keys reach the commands from anywhere in the window, after the focused
    control has had them: a field being typed into, or a focused selector with
    its arrow keys, keeps what it uses.
*/
class KeyboardCommands : public juce::ApplicationCommandTarget
{
public:
    enum CommandID
    {
        startStop = 1,
        tap,
        tempoUp,
        tempoDown,
        tempoUpTen,
        tempoDownTen,
        mute,
        accent,
        listen
    };

    explicit KeyboardCommands (MetronomeComponent& panel);
    ~KeyboardCommands() override;

    /** Lets the keys pressed anywhere in this window reach the commands, instead
        of those of the window listened to before. */
    void listenToKeysOf (juce::Component* window);

    juce::ApplicationCommandManager& getCommandManager() noexcept   { return commandManager; }

    /** The keys as a musician reads them: one line a command, "Space  Start / stop". */
    juce::String describeKeys();

    juce::ApplicationCommandTarget* getNextCommandTarget() override     { return nullptr; }
    void getAllCommands (juce::Array<juce::CommandID>& commands) override;
    void getCommandInfo (juce::CommandID, juce::ApplicationCommandInfo&) override;
    bool perform (const InvocationInfo&) override;

private:
    MetronomeComponent& panel;
    juce::ApplicationCommandManager commandManager;
    juce::Component::SafePointer<juce::Component> keyWindow;

    JUCE_DECLARE_NON_COPYABLE (KeyboardCommands)
};
