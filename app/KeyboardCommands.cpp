#include "KeyboardCommands.h"
#include "panel/MetronomeComponent.h"

KeyboardCommands::KeyboardCommands (MetronomeComponent& p)
    : panel (p)
{
    commandManager.registerAllCommandsForTarget (this);
    commandManager.setFirstCommandTarget (this);
}

KeyboardCommands::~KeyboardCommands()
{
    listenToKeysOf (nullptr);
}

void KeyboardCommands::listenToKeysOf (juce::Component* window)
{
    if (window == keyWindow.getComponent())
        return;

    if (auto* old = keyWindow.getComponent())
        old->removeKeyListener (commandManager.getKeyMappings());

    keyWindow = window;

    if (window != nullptr)
        window->addKeyListener (commandManager.getKeyMappings());
}

void KeyboardCommands::getAllCommands (juce::Array<juce::CommandID>& commands)
{
    commands.addArray ({ startStop, tap, tempoUp, tempoDown, tempoUpTen, tempoDownTen, mute, accent, listen });
}

void KeyboardCommands::getCommandInfo (juce::CommandID command, juce::ApplicationCommandInfo& info)
{
    using Key = juce::KeyPress;
    const auto shift = juce::ModifierKeys::shiftModifier;

    switch (command)
    {
        case startStop:
            info.setInfo (TRANS ("Start / stop"), TRANS ("Starts and stops the clicks"), "Transport", 0);
            info.addDefaultKeypress (Key::spaceKey, 0);
            break;
        case tap:
            info.setInfo (TRANS ("Tap"), TRANS ("Taps the tempo"), "Tempo", 0);
            info.addDefaultKeypress ('t', 0);
            break;
        case tempoUp:
            info.setInfo (TRANS ("Tempo +1"), TRANS ("Raises the tempo by 1 BPM"), "Tempo", 0);
            info.addDefaultKeypress (Key::upKey, 0);
            break;
        case tempoDown:
            info.setInfo (TRANS ("Tempo -1"), TRANS ("Lowers the tempo by 1 BPM"), "Tempo", 0);
            info.addDefaultKeypress (Key::downKey, 0);
            break;
        case tempoUpTen:
            info.setInfo (TRANS ("Tempo +10"), TRANS ("Raises the tempo by 10 BPM"), "Tempo", 0);
            info.addDefaultKeypress (Key::upKey, shift);
            info.addDefaultKeypress (Key::pageUpKey, 0);
            break;
        case tempoDownTen:
            info.setInfo (TRANS ("Tempo -10"), TRANS ("Lowers the tempo by 10 BPM"), "Tempo", 0);
            info.addDefaultKeypress (Key::downKey, shift);
            info.addDefaultKeypress (Key::pageDownKey, 0);
            break;
        case mute:
            info.setInfo (TRANS ("Mute"), TRANS ("Mutes and unmutes the clicks"), "Sound", 0);
            info.addDefaultKeypress ('m', 0);
            break;
        case accent:
            info.setInfo (TRANS ("Accent"), TRANS ("Accents the downbeat, or stops accenting it"), "Sound", 0);
            info.addDefaultKeypress ('a', 0);
            break;
        case listen:
            info.setInfo (TRANS ("Listen"), TRANS ("Follows the tempo of the input, or stops following it"), "Tempo", 0);
            info.addDefaultKeypress ('l', 0);
            break;
        default:
            break;
    }
}

bool KeyboardCommands::perform (const InvocationInfo& info)
{
    switch (info.commandID)
    {
        case startStop:     panel.pressStart();         return true;
        case tap:           panel.pressTap();           return true;
        case tempoUp:       panel.nudgeTempo (1.0f);    return true;
        case tempoDown:     panel.nudgeTempo (-1.0f);   return true;
        case tempoUpTen:    panel.nudgeTempo (10.0f);   return true;
        case tempoDownTen:  panel.nudgeTempo (-10.0f);  return true;
        case mute:          panel.pressMute();          return true;
        case accent:        panel.pressAccent();        return true;
        case listen:        panel.pressListen();        return true;
        default:            return false;
    }
}

juce::String KeyboardCommands::describeKeys()
{
    juce::StringArray lines;
    juce::Array<juce::CommandID> commands;
    getAllCommands (commands);

    for (const auto command : commands)
    {
        juce::StringArray keys;
        for (const auto& key : commandManager.getKeyMappings()->getKeyPressesAssignedToCommand (command))
            keys.add (key.getTextDescriptionWithIcons());

        lines.add (keys.joinIntoString (", ") + "  " + commandManager.getNameOfCommand (command));
    }

    return lines.joinIntoString ("\n");
}
