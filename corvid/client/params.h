#pragma once
// Automatable parameters. Each speaks two languages: a normalised value in [0, 1]
// for hosts, presets and the state chunk, and a plain value for the audio code and
// the display. The audio thread reads the plain value with one atomic load; every
// other path goes through the parameter's own reentrant lock.

#include "corvid/core/sync.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace corvid {

class Client;
class Parameter;

// Told synchronously, on the thread that made the change. Implementations must be
// cheap and thread-safe: widgets only mark themselves dirty.
class IParameterListener {
public:
    virtual ~IParameterListener() = default;
    virtual void parameterChanged(Parameter* parameter) = 0;
    virtual void parameterEditBegun(Parameter* parameter) = 0;
    virtual void parameterEditEnded(Parameter* parameter) = 0;
};

class Parameter {
public:
    Parameter(std::int32_t index, std::string name, std::string label);
    virtual ~Parameter() = default;
    Parameter(const Parameter&) = delete;
    Parameter& operator=(const Parameter&) = delete;

    virtual std::string_view name() const;
    virtual std::string_view label() const;
    virtual std::int32_t index() const;
    // Host thread: store and notify listeners.
    virtual void applyFromHost(double normalized);
    virtual double valueForHost();
    virtual void displayForHost(char* buffer, std::size_t size);
    virtual void addListener(IParameterListener* listener);
    virtual void removeListener(IParameterListener* listener);
    // Editor thread: bracket a user gesture; reported to the host, then to listeners.
    virtual void beginEdit();
    virtual void endEdit();
    virtual double normalizedValue() = 0;
    virtual double normalizedDefault() = 0;
    virtual void textForNormalized(double normalized, char* buffer, std::size_t size) = 0;
    // Typed text to a normalised value; false (value untouched) when it does not parse.
    virtual bool parseNormalized(std::string_view text, double& normalized) = 0;
    virtual bool isDiscrete() const = 0;
    // Sets the value without notifying. A NaN is ignored and values outside [0, 1]
    // are clamped, so a corrupt chunk or host cannot push a plain value out of range.
    virtual void storeNormalized(double normalized) = 0;
    // Audio thread, for formats that deliver host changes there: the same store
    // without the lock (one atomic exchange) and without listeners; whoever calls
    // it tells the listeners later from another thread.
    virtual void storeNormalizedFromAudio(double normalized) = 0;
    virtual void formatValue(char* buffer, std::size_t size) = 0;
    virtual void notifyListeners();
    virtual void editorChangeHook();

    // Set once by the client right after the parameters are declared.
    void setClient(Client* client) { client_ = client; }
    Client* client() const { return client_; }
    std::size_t listenerCount() const;
    IParameterListener* listenerAt(std::size_t i) const;

protected:
    // Reports an editor change to the host and the listeners once the value is stored.
    void reportEditorChange(double normalized);
    ReentrantLock& valueLock() { return lock_; }

private:
    Client* client_ = nullptr;
    std::int32_t index_;
    std::string name_;
    std::string label_;
    // Guards the list against a widget adding or removing itself while another
    // thread notifies; reentrant so a listener may remove itself from its callback.
    mutable std::recursive_mutex listenersLock_;
    std::vector<IParameterListener*> listeners_;
    ReentrantLock lock_;
};

// Longest typed text accepted by the numeric parsers, including the terminator.
inline constexpr std::size_t kParseBufferSize = 64;

class FloatParameter : public Parameter {
public:
    FloatParameter(std::int32_t index, std::string name, std::string label, double min, double max,
                   double defaultValue);

    double normalizedValue() override;
    double normalizedDefault() override;
    void textForNormalized(double normalized, char* buffer, std::size_t size) override;
    bool parseNormalized(std::string_view text, double& normalized) override;
    bool isDiscrete() const override { return false; }
    void storeNormalized(double normalized) override;
    void storeNormalizedFromAudio(double normalized) override;
    void formatValue(char* buffer, std::size_t size) override;

    virtual double toNormalized(double plain) = 0;
    virtual double fromNormalized(double normalized) = 0;

    // Audio thread: one atomic load, never waits.
    double value() const { return value_.load(std::memory_order_relaxed); }
    double min() const { return min_; }
    double max() const { return max_; }
    double defaultValue() const { return default_; }
    const char* formatString() const { return formatString_; }
    // Number of decimals shown (0 to 9).
    void setDecimals(int digits);
    // Editor thread: clamp, store, report to the host, notify.
    void setFromEditor(double plain);

private:
    std::atomic<double> value_;
    double min_;
    double max_;
    double default_;
    char formatString_[6] = {'%', '2', '.', '2', 'f', '\0'};
};

class LinearFloatParameter : public FloatParameter {
public:
    using FloatParameter::FloatParameter;
    double toNormalized(double plain) override;
    double fromNormalized(double normalized) override;
};

// min and max must be positive.
class LogFloatParameter : public FloatParameter {
public:
    using FloatParameter::FloatParameter;
    double toNormalized(double plain) override;
    double fromNormalized(double normalized) override;
};

class PowFloatParameter : public FloatParameter {
public:
    PowFloatParameter(std::int32_t index, std::string name, std::string label, double min,
                      double max, double defaultValue, double shape);
    double toNormalized(double plain) override;
    double fromNormalized(double normalized) override;
    double shape() const { return shape_; }

private:
    double shape_;
};

// Decibels from minus infinity to max; 0 maps to minus infinity.
class GainParameter : public FloatParameter {
public:
    GainParameter(std::int32_t index, std::string name, double maxDb, double defaultDb);
    double toNormalized(double plain) override;
    double fromNormalized(double normalized) override;
    double shape() const { return shape_; }

private:
    double shape_ = 2.0;
};

class IntegerParameter : public Parameter {
public:
    IntegerParameter(std::int32_t index, std::string name, std::string label, std::int32_t min,
                     std::int32_t max, std::int32_t defaultValue);

    double normalizedValue() override;
    double normalizedDefault() override;
    void textForNormalized(double normalized, char* buffer, std::size_t size) override;
    bool parseNormalized(std::string_view text, double& normalized) override;
    bool isDiscrete() const override { return true; }
    void storeNormalized(double normalized) override;
    void storeNormalizedFromAudio(double normalized) override;
    void formatValue(char* buffer, std::size_t size) override;

    std::int32_t value() const { return value_.load(std::memory_order_relaxed); }
    std::int32_t min() const { return min_; }
    std::int32_t max() const { return max_; }
    std::int32_t defaultValue() const { return default_; }
    void setFromEditor(std::int32_t plain);

    // Nearest integer of a normalised value, halves away from zero, within [min, max].
    std::int32_t integerForNormalized(double normalized) const;
    double normalizedForInteger(std::int32_t v) const;

private:
    std::atomic<std::int32_t> value_;
    std::int32_t min_;
    std::int32_t max_;
    std::int32_t default_;
};

class EnumParameter : public IntegerParameter {
public:
    // possibleValues must outlive the parameter (static tables).
    EnumParameter(std::int32_t index, std::string name,
                  std::vector<std::string_view> possibleValues, std::int32_t defaultIndex);

    void textForNormalized(double normalized, char* buffer, std::size_t size) override;
    bool parseNormalized(std::string_view text, double& normalized) override;
    void formatValue(char* buffer, std::size_t size) override;

    const std::vector<std::string_view>& possibleValues() const { return possibleValues_; }

private:
    std::vector<std::string_view> possibleValues_;
};

class BoolParameter : public Parameter {
public:
    BoolParameter(std::int32_t index, std::string name, bool defaultValue);

    double normalizedValue() override;
    double normalizedDefault() override;
    void textForNormalized(double normalized, char* buffer, std::size_t size) override;
    bool parseNormalized(std::string_view text, double& normalized) override;
    bool isDiscrete() const override { return true; }
    void storeNormalized(double normalized) override;
    void storeNormalizedFromAudio(double normalized) override;
    void formatValue(char* buffer, std::size_t size) override;

    bool value() const { return value_.load(std::memory_order_relaxed); }
    bool defaultValue() const { return default_; }
    void setFromEditor(bool plain);

private:
    std::atomic<bool> value_;
    bool default_;
};

} // namespace corvid
