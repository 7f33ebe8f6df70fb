#include "MetronomeProcessor.h"
#include "ClickSoundFile.h"
#include "MeterTables.h"
#include "SoundPack.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace
{
    const char* const parameterNames[] = { "bpm", "beatsPerBarIndex", "beatsValueIndex", "", "subDivIndex",
                                           "accent", "listen", "gain", "mute", "start", "sound" };

    using MeterTables::beatValues;
    using MeterTables::subdivisionNoteValues;

    /** The preset attribute that holds the path of an own sound. */
    juce::Identifier ownSoundAttribute (MetronomeProcessor::SoundRole role)
    {
        return role == MetronomeProcessor::SoundRole::accent ? "accentFile" : "clickFile";
    }

    /** A value without a number reads as 0, like text without one; infinities become the largest floats. */
    float toFiniteValue (float value) noexcept
    {
        if (std::isnan (value))
            return 0.0f;

        return juce::jlimit (std::numeric_limits<float>::lowest(), std::numeric_limits<float>::max(), value);
    }

    /** A value from the preset file as a number: text by its leading number, 0 when
        it has none. strtod rather than the framework's parser, whose exponent
        overflows on text such as "1E99999999999". */
    double leadingNumber (const juce::var& value)
    {
        if (value.isString())
            return std::strtod (value.toString().toRawUTF8(), nullptr);

        return (double) value;
    }

    /** Truncates toward zero into 0..size-1, without the undefined behaviour of casting a huge float. */
    template <size_t size>
    int tableIndex (const int (&)[size], float value) noexcept
    {
        return (int) juce::jlimit (0.0f, (float) (size - 1), value);
    }

    /** A preset's value as one of the panel's choices, the one the engine plays for it:
        a preset can be edited by hand, and a selector has no way to show a value
        outside its list. */
    float panelChoice (int parameterIndex, float value) noexcept
    {
        value = toFiniteValue (value);

        switch (parameterIndex)
        {
            case MetronomeProcessor::beatsPerBarParameter:
                return (float) (int) juce::jlimit ((float) MeterTables::panelMinBeatsPerBar, (float) MeterTables::panelMaxBeatsPerBar, value);
            case MetronomeProcessor::beatValueParameter:    return (float) tableIndex (beatValues, value);
            case MetronomeProcessor::subdivisionParameter:  return (float) tableIndex (subdivisionNoteValues, value);
            case MetronomeProcessor::soundParameter:
                return (float) SoundPack::forIndex ((int) juce::jlimit (-1.0f, (float) SoundPack::numPacks, value)).index;
            default:                                        return value;
        }
    }
}

MetronomeProcessor::MetronomeProcessor (const juce::File& presetFileLocation)
    : presetFile (presetFileLocation)
{
    presets = presetFile.load();
    presetFile.keepInStepWith (presets);

    currentPreset.setProperty ("name", "preset", nullptr);
    currentPreset.setProperty ("bpm", 120.0, nullptr);
    currentPreset.setProperty ("beatsPerBarIndex", 4.0, nullptr);
    currentPreset.setProperty ("beatsValueIndex", 1.0, nullptr);
    currentPreset.setProperty ("sound", 0.0, nullptr);
    currentPreset.setProperty ("gain", 1.0, nullptr);
    currentPreset.setProperty ("accent", 0.0, nullptr);
    currentPreset.setProperty ("subDivIndex", 1.0, nullptr);
    currentPreset.setProperty ("mute", 0.0, nullptr);

    updateTiming();
}

MetronomeProcessor::~MetronomeProcessor()
{
    accentSource.reset();
    clickSource.reset();
    presetFile.save (presets);
}

juce::AudioProcessorEditor* MetronomeProcessor::createEditor()
{
    return editorFactory != nullptr ? editorFactory (*this) : nullptr;
}

//==============================================================================
const juce::String MetronomeProcessor::getParameterName (int index)
{
    if (juce::isPositiveAndBelow (index, (int) numParameters))
        return parameterNames[index];

    return {};
}

float MetronomeProcessor::getParameter (int index)
{
    const auto name = getParameterName (index);

    if (name.isEmpty())
        return 0.0f;

    return (float) leadingNumber (currentPreset.getProperty (name));
}

void MetronomeProcessor::setParameter (int index, float value)
{
    value = toFiniteValue (value);

    if (const auto name = getParameterName (index); name.isNotEmpty())
        currentPreset.setProperty (name, (double) value, nullptr);

    switch (index)
    {
        case bpmParameter:
            bpm = juce::jlimit (MeterTables::minBpm, MeterTables::maxBpm, value);
            updateTiming();

            if (linkOn)
                linkSession->requestTempo (bpm);

            break;

        case beatsPerBarParameter:
        {
            beatsPerBar = (int) juce::jlimit (1.0f, (float) MeterTables::maxBeatsPerBar, value);
            updateTiming();

            // The beats that remain keep their levels; beats added later come in as normal ones.
            auto settings = practice;
            std::fill (settings.pattern.begin() + beatsPerBar.load(), settings.pattern.end(), BeatLevel::normal);

            if (settings != practice)
                setPracticeSettings (settings);

            break;
        }

        case beatValueParameter:
        {
            // Keeps the subdivision's note value: eighths stay eighths when the beat changes.
            const auto newBeatValue = beatValues[tableIndex (beatValues, value)];
            ticksPerBeat = (float) beatValue.load() * ticksPerBeat.load() / (float) newBeatValue;
            beatValue = newBeatValue;
            updateTiming();
            break;
        }

        case tapParameter:
            if (const auto tappedBpm = tapTempo.tap (millisecondCounter()))
                setParameter (bpmParameter, *tappedBpm);
            break;

        case subdivisionParameter:
            ticksPerBeat = (float) subdivisionNoteValues[tableIndex (subdivisionNoteValues, value)] / (float) beatValue.load();
            updateTiming();
            break;

        case accentParameter:
        {
            accentOn = value > 0.5f;

            if (auto settings = practice; (settings.pattern[0] == BeatLevel::accent) != accentOn)
            {
                settings.pattern[0] = accentOn ? BeatLevel::accent : BeatLevel::normal;
                setPracticeSettings (settings);
            }

            break;
        }

        case listenParameter:   listenOn = value > 0.5f; break;
        case gainParameter:     gain = juce::jlimit (0.0f, 1.0f, value); break;
        case muteParameter:     muteOn = value > 0.5f; break;
        case startParameter:
        {
            const bool start = value > 0.5f;

            if (start && ! running && practice.restartsOnStart())
            {
                // From the top: the count-in or bar 1 at its first sample, the trainer at the tempo set.
                const auto seed = fixedSeed.value_or ((juce::uint32) juce::Random::getSystemRandom().nextInt());
                const juce::ScopedLock lock (getCallbackLock());
                clock.reset();
                planner.setSeed (seed);
            }

            running = start;

            if (linkOn && linkStartStopSync)
                linkSession->requestPlaying (start);

            break;
        }

        case soundParameter:    loadSoundPack ((int) juce::jlimit (-1.0f, (float) SoundPack::numPacks, value)); break;
        default:                break;
    }
}

void MetronomeProcessor::setMillisecondCounter (std::function<juce::uint32()> counter)
{
    millisecondCounter = std::move (counter);
}

void MetronomeProcessor::updateTiming()
{
    const float rate = sampleRate;
    const float tempo = bpm;
    const float ticks = ticksPerBeat;

    samplesPerBeat = (int) (rate / (tempo / 60.0f));
    samplesPerTick = (int) ((float) samplesPerBeat.load() / ticks);

    // What the clock plays: the whole-sample spacings above drop a fraction of a sample per tick.
    exactSamplesPerTick = BeatClock::exactSamplesPerTick (rate, tempo, ticks);
}

void MetronomeProcessor::setPracticeSettings (const PracticeSettings& settings)
{
    practice = settings.clamped();
    sendPracticeToAudioThread();

    if ((practice.pattern[0] == BeatLevel::accent) != accentOn)
        setParameter (accentParameter, practice.pattern[0] == BeatLevel::accent ? 1.0f : 0.0f);
}

void MetronomeProcessor::sendPracticeToAudioThread()
{
    const juce::ScopedLock lock (getCallbackLock());
    planner.setSettings (practice);
}

//==============================================================================
void MetronomeProcessor::loadSoundPack (int packIndex)
{
    const auto pack = SoundPack::forIndex (packIndex);

    // The musician's own sound, where there is one, stands in for the pack's sample.
    const auto createSource = [this] (SoundRole role, const void* packData, size_t packSize)
    {
        const auto& own = ownSounds[(size_t) role].wav;

        if (own.getSize() > 0)
            if (auto source = SoundPack::createSource (own.getData(), own.getSize(), sampleRate, blockSize))
                return source;

        return SoundPack::createSource (packData, packSize, sampleRate, blockSize);
    };

    auto newAccent = createSource (SoundRole::accent, pack.accentData, pack.accentSize);
    auto newClick = createSource (SoundRole::click, pack.clickData, pack.clickSize);

    {
        const juce::ScopedLock lock (getCallbackLock());
        std::swap (accentSource, newAccent);
        std::swap (clickSource, newClick);
        soundIndex = pack.index;

        // The new pack joins in at the next tick, on the beat.
        for (auto* source : { accentSource.get(), clickSource.get() })
            if (source != nullptr)
                source->setNextResampledPosition (source->getResampledLength());
    }

    // The previous pair goes out of scope here, after the audio thread has let go of it.
}

juce::Result MetronomeProcessor::setOwnSound (SoundRole role, const juce::File& file)
{
    juce::MemoryBlock wav;
    const auto result = ClickSoundFile::load (file, wav);

    if (result.wasOk())
    {
        ownSounds[(size_t) role] = { file, std::move (wav) };
        loadSoundPack (soundIndex);
    }

    return result;
}

void MetronomeProcessor::clearOwnSound (SoundRole role)
{
    if (ownSounds[(size_t) role].wav.getSize() == 0)
        return;

    ownSounds[(size_t) role] = {};
    loadSoundPack (soundIndex);
}

void MetronomeProcessor::prepareToPlay (double newSampleRate, int estimatedSamplesPerBlock)
{
    setRateAndBufferSizeDetails (newSampleRate, estimatedSamplesPerBlock);

    blockSize = juce::jmax (1, estimatedSamplesPerBlock);
    sampleRate = (std::isfinite (newSampleRate) && newSampleRate >= 1000.0)
                     ? (float) juce::jmin (newSampleRate, 1.0e6) : 48000.0f;
    updateTiming();

    clock.reset();
    tickCounter = 1;

    loadSoundPack (soundIndex);

    tempoTracker.reset();
    detectedBpm = 0;

    {
        // The audio thread is not running here, but LINK may be switched on meanwhile.
        const juce::ScopedLock lock (getCallbackLock());
        clicking = false;
        placingOnLink = false;

        if (linkSession != nullptr)
            linkSession->prepare (sampleRate);
    }

    if (auto tracker = std::make_unique<TempoDetector> ((double) sampleRate.load()); tracker->isValid())
        tempoTracker = std::move (tracker);
}

void MetronomeProcessor::releaseResources()
{
    tempoTracker.reset();
    detectedBpm = 0;
}

void MetronomeProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;
    const auto numSamples = buffer.getNumSamples();

    // The tracker hears the input before anything is written over it.
    const bool listening = listenOn && tempoTracker != nullptr && buffer.getNumChannels() > 0;

    if (listening)
    {
        tempoTracker->process (buffer.getReadPointer (0), numSamples);
        detectedBpm = (int) std::lround (tempoTracker->getEstimate());
    }

    buffer.clear();

    Meter meter { sampleRate, bpm, beatsPerBar, ticksPerBeat };
    auto runs = running.load();
    const auto link = readLinkSession (numSamples, meter, runs);
    const auto onLink = runs && link.has_value();

    // Leaving the session's beats, the beat clock carries on from the last tick they placed.
    if (placingOnLink && runs && ! onLink)
    {
        if (linkClock.isLaunching())
            clock.reset();
        else
            clock.resumeAfterTick (linkClock.getSamplesSinceTick());
    }

    placingOnLink = onLink;
    clicking = runs;

    if (! runs)
        return;

    if (onLink)
        renderLinkTicks (buffer, *link, meter);
    else
        renderClockTicks (buffer, meter, listening);

    buffer.applyGain (muteOn ? 0.0f : gain.load());
}

void MetronomeProcessor::renderClockTicks (juce::AudioBuffer<float>& buffer, const Meter& meter, bool listening) noexcept
{
    const auto numSamples = buffer.getNumSamples();
    const auto music = listening && syncOn ? musicBeatsInBlock (numSamples) : BeatAligner::MusicBeats {};

    // While the clicks follow the music's beats, the spacing is the aligner's, set at each tick.
    const auto spacing = planner.currentSpacing (meter);

    if (! BeatAligner::follows (spacing, planner.isCountingIn() ? 1.0f : meter.ticksPerBeat, music))
        clock.setSamplesPerTick (spacing);

    // Each click sounds from its tick up to the next one, wherever the blocks begin and end.
    int segmentStart = 0;

    clock.advance (numSamples, [&] (int offset, bool startsBar)
    {
        const auto tick = playTick (buffer, segmentStart, offset, startsBar, meter);
        const auto countingInNow = tick.bar < 0;
        const auto ticksPerBeatNow = countingInNow ? 1.0f : meter.ticksPerBeat;
        const auto nextTickInBeat = countingInNow ? 0 : tick.tickCounter % juce::jmax (1, (int) std::lround (ticksPerBeatNow));

        clock.respaceFromLastTick (BeatAligner::spacingToNextTick (offset, tick.samplesPerTick, ticksPerBeatNow,
                                                                   nextTickInBeat, music));
    });

    renderVoice (buffer, segmentStart, numSamples - segmentStart);
}

void MetronomeProcessor::renderLinkTicks (juce::AudioBuffer<float>& buffer, const LinkSession::Block& block,
                                          const Meter& meter) noexcept
{
    const auto numSamples = buffer.getNumSamples();
    int segmentStart = 0;

    linkClock.advance (block, numSamples, meter.beatsPerBar, [&] (int offset, bool fromTheTop, int beatInBar)
    {
        const auto tick = playTick (buffer, segmentStart, offset, fromTheTop, meter, beatInBar);
        return 1.0 / (tick.bar < 0 ? 1.0 : (double) meter.ticksPerBeat);
    });

    renderVoice (buffer, segmentStart, numSamples - segmentStart);
}

PlannedTick MetronomeProcessor::playTick (juce::AudioBuffer<float>& buffer, int& segmentStart, int offset,
                                          bool fromTheTop, const Meter& meter, int startBeat) noexcept
{
    renderVoice (buffer, segmentStart, offset - segmentStart);
    segmentStart = offset;

    const auto tick = planner.planTick (fromTheTop, meter, startBeat);
    startVoice (tick.level);
    publish (tick);
    return tick;
}

std::optional<LinkSession::Block> MetronomeProcessor::readLinkSession (int numSamples, Meter& meter, bool& runs) noexcept
{
    auto* session = linkOn ? linkSession.get() : nullptr;

    if (session == nullptr)
        return {};

    // A run starts again on the session's next beat, at its place in the session's bar: at a
    // start, on joining, and when the bar changes length.
    const auto quantum = meter.beatsPerBar;
    const auto fromTheTop = ! clicking || ! placingOnLink || quantum != linkQuantum;
    const auto sharesStartStop = session->isStartStopSyncOn();
    const auto block = session->beginBlock (numSamples, (double) quantum, outputLatency,
                                            runs && fromTheTop && ! sharesStartStop);
    linkQuantum = quantum;

    if (sharesStartStop)
        runs = block.playing;

    meter.bpm = (float) juce::jlimit ((double) MeterTables::minBpm, (double) MeterTables::maxBpm, block.tempo);
    meter.tempoShared = true;

    // A session faster than the clicks can play keeps them at the fastest tempo, off its beats.
    if (block.tempo < (double) MeterTables::minBpm || block.tempo > (double) MeterTables::maxBpm)
        return {};

    if (fromTheTop)
        linkClock.launch();

    return block;
}

BeatAligner::MusicBeats MetronomeProcessor::musicBeatsInBlock (int numSamples) const noexcept
{
    const auto period = tempoTracker->getBeatPeriod();

    if (period <= 0.0)
        return {};

    // The tracker has heard up to the end of this block; the clicks are counted from its start.
    const auto blockStart = (double) (tempoTracker->getSamplesProcessed() - numSamples);
    return { tempoTracker->getLastBeat() - blockStart - (double) (inputLatency + outputLatency), period };
}

void MetronomeProcessor::setDeviceLatency (int inputSamples, int outputSamples) noexcept
{
    inputLatency = juce::jmax (0, inputSamples);
    outputLatency = juce::jmax (0, outputSamples);
}

//==============================================================================
void MetronomeProcessor::setLinkOn (bool shouldLink)
{
    if (shouldLink && linkSession == nullptr)
    {
        auto session = std::make_unique<LinkSession> ((double) bpm.load());
        session->prepare ((double) sampleRate.load());
        session->setStartStopSync (linkStartStopSync);

        const juce::ScopedLock lock (getCallbackLock());
        linkSession = std::move (session);
    }

    if (linkSession == nullptr)
        return;

    if (shouldLink)
        linkSession->join ((double) bpm.load());
    else
        linkSession->leave();

    linkOn = shouldLink;
}

void MetronomeProcessor::setLinkStartStopSync (bool shouldSync)
{
    linkStartStopSync = shouldSync;

    if (linkSession == nullptr)
        return;

    linkSession->setStartStopSync (shouldSync);

    // Switched on, START as it stands goes to the session; from then on both follow each other.
    if (shouldSync && linkOn)
        linkSession->requestPlaying (running);
}

int MetronomeProcessor::getLinkPeers() const
{
    return linkOn ? linkSession->getNumPeers() : 0;
}

bool MetronomeProcessor::followLinkSession()
{
    if (! linkOn)
        return false;

    linkSession->commitRequestsIfAudioIdle();

    if (linkStartStopSync)
        running = linkSession->isPlaying();

    // Link keeps the tempo as a beat's length in microseconds: 123 comes back as 122.99997.
    // To a hundredth, it reads (and shows) as the tempo the peer set.
    const auto sessionBpm = (float) juce::jlimit ((double) MeterTables::minBpm, (double) MeterTables::maxBpm,
                                                  std::round (linkSession->getTempo() * 100.0) / 100.0);

    if (std::abs (sessionBpm - bpm.load()) < 1.0e-3f)
        return false;

    // Set like any tempo, but not sent back: a session outside 20..400 keeps its own.
    currentPreset.setProperty ("bpm", (double) sessionBpm, nullptr);
    bpm = sessionBpm;
    updateTiming();
    return true;
}

void MetronomeProcessor::startVoice (BeatLevel level) noexcept
{
    const bool accent = level == BeatLevel::accent && accentSource != nullptr;

    voice = level == BeatLevel::silent ? Voice::none : accent ? Voice::accent : Voice::click;
    voiceGain = level == BeatLevel::soft ? PracticeSettings::softGain : 1.0f;

    if (auto* source = accent ? accentSource.get() : clickSource.get())
        source->setNextResampledPosition (0);
}

void MetronomeProcessor::renderVoice (juce::AudioBuffer<float>& buffer, int start, int length) noexcept
{
    auto* source = voice == Voice::accent ? accentSource.get() : voice == Voice::click ? clickSource.get() : nullptr;

    if (source == nullptr || length <= 0)
        return;

    source->getNextResampledBlock ({ &buffer, start, length });

    if (voiceGain != 1.0f)
        for (int ch = 0; ch < juce::jmin (2, buffer.getNumChannels()); ++ch)
            buffer.applyGain (ch, start, length, voiceGain);
}

void MetronomeProcessor::publish (const PlannedTick& tick) noexcept
{
    // Each value is read on its own by the panel, so no ordering between them is needed.
    constexpr auto relaxed = std::memory_order_relaxed;
    tickCounter.store (tick.tickCounter, relaxed);
    currentBeat.store (tick.beatInBar, relaxed);
    currentBar.store (tick.bar, relaxed);
    countingIn.store (tick.bar < 0, relaxed);
    playingBpm.store (tick.bpm, relaxed);
}

//==============================================================================
int MetronomeProcessor::getNumPrograms()
{
    return presets.getNumChildren();
}

int MetronomeProcessor::getCurrentProgram()
{
    const auto active = leadingNumber (presets.getProperty ("active"));
    return active >= 1.0 && active < (double) std::numeric_limits<int>::max() ? (int) active : 0;
}

void MetronomeProcessor::setCurrentProgram (int index)
{
    // The same choice again is no change: a file the musician wrote stays as it is.
    if (index != getCurrentProgram())
        presets.setProperty ("active", index, nullptr);

    applyPreset (index);
}

const juce::String MetronomeProcessor::getProgramName (int index)
{
    return presets.getChild (index).getProperty ("name").toString();
}

void MetronomeProcessor::addPreset (const juce::String& name)
{
    currentPreset.setProperty ("name", name, nullptr);

    juce::ValueTree preset ("preset");
    preset.copyPropertiesFrom (currentPreset, nullptr);
    practice.writeTo (preset, beatsPerBar);

    for (const auto role : { SoundRole::accent, SoundRole::click })
        if (const auto& own = ownSounds[(size_t) role]; own.wav.getSize() > 0)
            preset.setProperty (ownSoundAttribute (role), own.file.getFullPathName(), nullptr);

    presets.addChild (preset, 0, nullptr);
}

void MetronomeProcessor::applyPreset (int index)
{
    const auto preset = presets.getChild (index);

    // The beat value goes before the subdivision, which recomputes the ticks per beat from scratch.
    for (const auto parameterIndex : { bpmParameter, beatsPerBarParameter, beatValueParameter, soundParameter,
                                       gainParameter, accentParameter, subdivisionParameter, muteParameter })
        applyPresetParameter (preset, parameterIndex);

    setPracticeSettings (PracticeSettings::readFrom (preset, accentOn));

    // A sound file that can no longer be read leaves the pack's sample playing.
    for (const auto role : { SoundRole::accent, SoundRole::click })
    {
        const auto path = preset.getProperty (ownSoundAttribute (role)).toString();
        ownSoundErrors[(size_t) role].clear();

        if (path.isEmpty() || ! juce::File::isAbsolutePath (path))
            clearOwnSound (role);
        else if (const auto result = setOwnSound (role, juce::File (path)); result.failed())
        {
            clearOwnSound (role);
            ownSoundErrors[(size_t) role] = result.getErrorMessage();
        }
    }
}

void MetronomeProcessor::applyPresetParameter (const juce::ValueTree& preset, int parameterIndex)
{
    const auto name = getParameterName (parameterIndex);

    // The preset itself keeps its value; only what is applied is brought into the panel's lists.
    if (preset.hasProperty (name))
        setParameter (parameterIndex, panelChoice (parameterIndex, (float) leadingNumber (preset.getProperty (name))));
}
