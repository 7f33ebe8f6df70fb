// The framework's own cost, as a floor for bench/cpu_memory.sh: a window of
// Tocksley's size and name with nothing in it, and the default audio device
// playing silence. Whatever this costs, a JUCE window on that device costs.
#include <juce_audio_utils/juce_audio_utils.h>

namespace
{
    struct Silence : juce::AudioIODeviceCallback
    {
        void audioDeviceIOCallbackWithContext (const float* const*, int, float* const* outputs, int numOutputs,
                                               int numSamples, const juce::AudioIODeviceCallbackContext&) override
        {
            for (int channel = 0; channel < numOutputs; ++channel)
                juce::FloatVectorOperations::clear (outputs[channel], numSamples);
        }

        void audioDeviceAboutToStart (juce::AudioIODevice*) override {}
        void audioDeviceStopped() override {}
    };

    struct Window : juce::DocumentWindow
    {
        Window() : juce::DocumentWindow ("Tocksley", juce::Colours::black, juce::DocumentWindow::allButtons, true)
        {
            setUsingNativeTitleBar (true);
            auto* content = new juce::Component();
            content->setSize (432, 710);
            setContentOwned (content, true);
            centreWithSize (432, 710);
            setVisible (true);
        }

        void closeButtonPressed() override     { juce::JUCEApplication::quit(); }
    };

    struct BareWindowApplication : juce::JUCEApplication
    {
        const juce::String getApplicationName() override       { return "Tocksley"; }
        const juce::String getApplicationVersion() override    { return TOCKSLEY_VERSION_STRING; }

        void initialise (const juce::String&) override
        {
            deviceManager.initialise (2, 2, nullptr, true);
            deviceManager.addAudioCallback (&silence);
            window = std::make_unique<Window>();
        }

        void shutdown() override
        {
            deviceManager.removeAudioCallback (&silence);
            window.reset();
        }

        juce::AudioDeviceManager deviceManager;
        Silence silence;
        std::unique_ptr<Window> window;
    };
}

START_JUCE_APPLICATION (BareWindowApplication)
