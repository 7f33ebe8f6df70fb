#include "engine/MetronomeProcessor.h"
#include "panel/MetronomeComponent.h"

#include <gtest/gtest.h>

// The panel on a real engine, its controls driven as a user would drive them.

namespace
{
    enum Child
    {
        bpmSlider = 2, bpmStepper = 3, tapButton = 4, accentButton = 5, bpmLabel = 6, beatLabel = 9, startButton = 10,
        beatsPerBarCombo = 11, beatValueCombo = 12, volumeSlider = 14, soundCombo = 15, subdivisionCombo = 18,
        listenButton = 20, tempoMarkingCombo = 21, muteButton = 22, aboutButton = 23, aboutPanel = 26
    };

    struct Panel
    {
        MetronomeProcessor engine { juce::File() };
        MetronomeComponent panel { engine };

        template <typename Type>
        Type& get (Child index)     { return *dynamic_cast<Type*> (panel.getChildComponent (index)); }

        juce::Slider& slider (Child c)         { return get<juce::Slider> (c); }
        juce::ComboBox& combo (Child c)        { return get<juce::ComboBox> (c); }
        juce::Button& button (Child c)         { return get<juce::Button> (c); }
        juce::Label& label (Child c)           { return get<juce::Label> (c); }

        void type (const juce::String& text)   { label (bpmLabel).setText (text, juce::sendNotificationSync); }
        void click (Child c)                   { button (c).setToggleState (! button (c).getToggleState(), juce::sendNotificationSync); }

        juce::String marking()                 { return combo (tempoMarkingCombo).getText(); }

        // What the engine plays and what every tempo control shows.
        void expectTempo (float bpm, const juce::String& shown, double stepper, double bar, const juce::String& mark)
        {
            EXPECT_EQ (engine.getBpm(), bpm);
            EXPECT_EQ (label (bpmLabel).getText(), shown);
            EXPECT_EQ (slider (bpmStepper).getValue(), stepper);
            EXPECT_EQ (slider (bpmSlider).getValue(), bar);
            EXPECT_EQ (marking(), mark);
        }
    };
}

TEST (PanelBehaviour, TypedTempiAreClampedAndShownEverywhere)
{
    Panel p;

    p.type ("1000");
    p.expectTempo (400.0f, "400", 400.0, 240.0, "Prestissimo");

    p.type ("97.6");
    p.expectTempo (97.6f, "97", 98.0, 98.0, "Andantino");

    for (const auto* text : { "letters", "", "nan", "inf", "1e999", "-50" })
    {
        p.type (text);
        EXPECT_EQ (p.engine.getBpm(), 20.0f) << text;
        EXPECT_EQ (p.label (bpmLabel).getText(), "20") << text;
        EXPECT_EQ (p.marking(), "Larghissimo") << text;
    }

    p.type ("  +132abc");
    EXPECT_EQ (p.engine.getBpm(), 132.0f);
}

TEST (PanelBehaviour, SlidersStepperAndMarkingsDriveTheTempo)
{
    Panel p;

    p.slider (bpmSlider).setValue (150.0, juce::sendNotificationSync);
    EXPECT_EQ (p.engine.getBpm(), 150.0f);
    EXPECT_EQ (p.slider (bpmStepper).getValue(), 150.0);
    EXPECT_EQ (p.label (bpmLabel).getText(), "150");
    EXPECT_EQ (p.marking(), "Allegro");

    p.slider (bpmStepper).setValue (300.0, juce::sendNotificationSync);
    EXPECT_EQ (p.engine.getBpm(), 300.0f);
    EXPECT_EQ (p.slider (bpmSlider).getValue(), 240.0);

    p.combo (tempoMarkingCombo).setSelectedId (10, juce::sendNotificationSync);   // Allegretto
    EXPECT_EQ (p.engine.getBpm(), 112.0f);
    EXPECT_EQ (p.marking(), "Allegretto");

    p.combo (tempoMarkingCombo).setSelectedId (3, juce::sendNotificationSync);    // Largo
    EXPECT_EQ (p.engine.getBpm(), 40.0f);
    EXPECT_EQ (p.marking(), "Largo");
}

TEST (PanelBehaviour, SelectorsSendThePanelsValues)
{
    Panel p;

    p.combo (beatsPerBarCombo).setSelectedId (2, juce::sendNotificationSync);
    EXPECT_EQ (p.engine.getParameter (MetronomeProcessor::beatsPerBarParameter), 3.0f);
    p.combo (beatValueCombo).setSelectedId (3, juce::sendNotificationSync);
    EXPECT_EQ (p.engine.getParameter (MetronomeProcessor::beatValueParameter), 2.0f);
    p.combo (subdivisionCombo).setSelectedId (4, juce::sendNotificationSync);
    EXPECT_EQ (p.engine.getParameter (MetronomeProcessor::subdivisionParameter), 3.0f);
    p.combo (soundCombo).setSelectedId (3, juce::sendNotificationSync);
    EXPECT_EQ (p.engine.getSoundIndex(), 2);
    p.slider (volumeSlider).setValue (0.7, juce::sendNotificationSync);
    EXPECT_EQ (p.engine.getGain(), 0.7f);

    for (const auto& [child, parameter] : { std::pair (accentButton, MetronomeProcessor::accentParameter),
                                            std::pair (startButton, MetronomeProcessor::startParameter),
                                            std::pair (listenButton, MetronomeProcessor::listenParameter),
                                            std::pair (muteButton, MetronomeProcessor::muteParameter) })
    {
        p.click (child);
        EXPECT_EQ (p.engine.getParameter (parameter), 1.0f) << parameter;
        p.click (child);
        EXPECT_EQ (p.engine.getParameter (parameter), 0.0f) << parameter;
    }
}

TEST (PanelBehaviour, ControlsFollowTheEngine)
{
    Panel p;
    EXPECT_EQ (p.combo (beatsPerBarCombo).getText(), "4");
    EXPECT_EQ (p.combo (beatValueCombo).getText(), "4");
    EXPECT_EQ (p.combo (subdivisionCombo).getText(), "1/4 Notes");
    EXPECT_EQ (p.combo (soundCombo).getText(), "Classic");
    EXPECT_EQ (p.slider (volumeSlider).getValue(), 1.0);
    EXPECT_EQ (p.marking(), "Allegro");

    p.engine.setParameter (MetronomeProcessor::accentParameter, 1.0f);
    p.engine.setParameter (MetronomeProcessor::muteParameter, 1.0f);
    p.engine.setParameter (MetronomeProcessor::beatValueParameter, 2.0f);
    p.panel.updateControlsFromProcessor();
    EXPECT_TRUE (p.button (accentButton).getToggleState());
    EXPECT_TRUE (p.button (muteButton).getToggleState());   // the button shows the engine's mute
    EXPECT_EQ (p.combo (beatValueCombo).getText(), "8");

    // Only exactly 1 shows the accent on.
    p.engine.setParameter (MetronomeProcessor::accentParameter, 0.9f);
    p.panel.updateControlsFromProcessor();
    EXPECT_FALSE (p.button (accentButton).getToggleState());

    // One click on MUTE now unmutes.
    p.click (muteButton);
    EXPECT_FALSE (p.engine.isMuteOn());
}

TEST (PanelBehaviour, BeatDisplay)
{
    Panel p;
    struct Case { float ticksPerBeat; int tick; const char* shown; };
    const Case cases[] = { { 1, 3, "3" }, { 2, 1, "1" }, { 2, 2, "1" }, { 2, 3, "2" }, { 2, 8, "4" },
                           { 3, 4, "2" }, { 3, 12, "4" }, { 0.5f, 1, "1" }, { 0.5f, 2, "3" } };

    for (const auto& c : cases)
    {
        p.engine.ticksPerBeat = c.ticksPerBeat;
        p.engine.tickCounter = c.tick;
        p.panel.timerCallback();
        EXPECT_EQ (p.label (beatLabel).getText(), c.shown) << c.ticksPerBeat << " ticks a beat, tick " << c.tick;
    }
}

TEST (PanelBehaviour, ListenEstimatesAreTakenOnlyWithinTheirBounds)
{
    EXPECT_FALSE (TempoDetector::isAdoptableEstimate (0));
    EXPECT_FALSE (TempoDetector::isAdoptableEstimate (50));
    EXPECT_TRUE (TempoDetector::isAdoptableEstimate (51));
    EXPECT_TRUE (TempoDetector::isAdoptableEstimate (239));
    EXPECT_FALSE (TempoDetector::isAdoptableEstimate (240));

    // With LISTEN on, the timer takes the engine's estimate as the tempo.
    Panel p;
    p.engine.prepareToPlay (48000, 480);
    p.type ("90");
    p.click (listenButton);
    p.panel.timerCallback();
    EXPECT_EQ (p.engine.getBpm(), 90.0f);   // no estimate yet: the tempo stays

    juce::AudioBuffer<float> buffer (2, 480);
    juce::MidiBuffer midi;
    juce::Random random (8);

    for (int block = 0; block < 300; ++block)
    {
        buffer.clear();
        if (block % 50 < 2)   // a decaying noise burst every half second: 120 BPM
            for (int i = 0; i < 480; ++i)
                buffer.setSample (0, i, 0.5f * std::exp (-(float) (block % 50 * 480 + i) / 720.0f) * (random.nextFloat() - 0.5f));
        p.engine.processBlock (buffer, midi);
    }

    p.panel.timerCallback();
    EXPECT_NEAR (p.engine.getBpm(), 120.0f, 1.0f);
    EXPECT_EQ (p.label (bpmLabel).getText(), juce::String ((int) p.engine.getBpm()));
}

TEST (PanelBehaviour, AboutButtonShowsTheOverlay)
{
    Panel p;
    EXPECT_FALSE (p.panel.getChildComponent (aboutPanel)->isVisible());
    p.panel.buttonClicked (&p.button (aboutButton));
    EXPECT_TRUE (p.panel.getChildComponent (aboutPanel)->isVisible());
    p.panel.buttonClicked (&p.button (aboutButton));
    EXPECT_TRUE (p.panel.getChildComponent (aboutPanel)->isVisible());
}

TEST (PanelBehaviour, TapsWithADrivenClock)
{
    Panel p;
    juce::uint32 now = 100000;
    p.engine.setMillisecondCounter ([&now] { return now; });

    p.panel.buttonClicked (&p.button (tapButton));
    EXPECT_EQ (p.label (bpmLabel).getText(), "120");
    now += 400;
    p.panel.buttonClicked (&p.button (tapButton));
    EXPECT_EQ (p.engine.getBpm(), 150.0f);
    EXPECT_EQ (p.label (bpmLabel).getText(), "150");
    EXPECT_EQ (p.slider (bpmStepper).getValue(), 150.0);
}

TEST (PanelBehaviour, SyncAndLinkSitOnTheTempoGroupOffAtStart)
{
    Panel p;
    auto& group = *p.panel.getChildComponent (1);
    ASSERT_EQ (group.getNumChildComponents(), 3);
    auto& sync = dynamic_cast<juce::ToggleButton&> (*group.getChildComponent (0));
    auto& link = dynamic_cast<juce::ToggleButton&> (*group.getChildComponent (1));
    auto& peers = dynamic_cast<juce::Label&> (*group.getChildComponent (2));

    EXPECT_EQ (sync.getButtonText(), "SYNC");
    EXPECT_FALSE (sync.getToggleState());
    EXPECT_FALSE (p.engine.isSyncOn());
    EXPECT_EQ (link.getButtonText(), "LINK");
    EXPECT_FALSE (link.getToggleState());
    EXPECT_FALSE (p.engine.isLinkOn());
    EXPECT_FALSE (peers.isVisible());

    // Inside the group's frame, clear of each other, of the caption, LISTEN, TAP and the stepper below.
    const auto inPanel = [&group] (juce::Component& c) { return c.getBoundsInParent() + group.getPosition(); };
    const auto caption = juce::Rectangle<int> (group.getX(), group.getY(), 140, 20);

    for (auto* c : std::initializer_list<juce::Component*> { &sync, &link, &peers })
    {
        EXPECT_TRUE (group.getBounds().contains (inPanel (*c)));
        EXPECT_FALSE (inPanel (*c).intersects (caption));

        for (const auto child : { listenButton, tapButton, bpmStepper, aboutButton })
            EXPECT_FALSE (inPanel (*c).intersects (p.panel.getChildComponent (child)->getBounds())) << child;
    }

    EXPECT_FALSE (sync.getBounds().intersects (link.getBounds()));
    EXPECT_FALSE (sync.getBounds().intersects (peers.getBounds()));
    EXPECT_FALSE (link.getBounds().intersects (peers.getBounds()));

    sync.setToggleState (true, juce::sendNotificationSync);
    EXPECT_TRUE (p.engine.isSyncOn());
    EXPECT_FALSE (p.engine.getParameter (MetronomeProcessor::listenParameter) > 0.0f);
    sync.setToggleState (false, juce::sendNotificationSync);
    EXPECT_FALSE (p.engine.isSyncOn());
}
