#pragma once
// Numbers shared with AAX hosts: result codes, categories, stem formats, property
// and field numbers. Hosts store and compare these values, so they never change.

#include <cstdint>

using AAX_Result = std::int32_t;

enum AAX_EError : AAX_Result {
    AAX_SUCCESS = 0,
    AAX_ERROR_INVALID_PARAMETER_ID = -20001,
    AAX_ERROR_INVALID_STRING_CONVERSION = -20002,
    AAX_ERROR_INVALID_CHUNK_INDEX = -20006,
    AAX_ERROR_INVALID_CHUNK_ID = -20007,
    AAX_ERROR_NULL_ARGUMENT = -20008,
    AAX_ERROR_UNIMPLEMENTED = -20009,
    AAX_ERROR_INCORRECT_CHUNK_SIZE = -20010,
};

// Interface version the plug-in was built against.
inline constexpr std::uint64_t AAX_SDK_VERSION = 0x0000020300BF7318ull;

enum AAX_EPlugInCategory : std::uint32_t {
    AAX_ePlugInCategory_EQ = 0x1,
    AAX_ePlugInCategory_Dynamics = 0x2,
    AAX_ePlugInCategory_PitchShift = 0x4,
    AAX_ePlugInCategory_Reverb = 0x8,
    AAX_ePlugInCategory_Delay = 0x10,
    AAX_ePlugInCategory_Modulation = 0x20,
    AAX_ePlugInCategory_Harmonic = 0x40,
    AAX_ePlugInCategory_SoundField = 0x200,
    AAX_ePlugInCategory_SWGenerators = 0x800,
    AAX_ePlugInCategory_Effect = 0x2000,
};

// Layout code in the high 16 bits, channel count in the low 16 bits.
enum AAX_EStemFormat : std::uint32_t {
    AAX_eStemFormat_Mono = 0x1,
    AAX_eStemFormat_Stereo = 0x10002,
    AAX_eStemFormat_LCR = 0x20003,
    AAX_eStemFormat_Quad = 0x40004,
    AAX_eStemFormat_5_0 = 0x50005,
    AAX_eStemFormat_5_1 = 0x60006,
    AAX_eStemFormat_6_1 = 0x80007,
    AAX_eStemFormat_7_1_DTS = 0xC0008,
    AAX_eStemFormat_None = 0xFF9C0000,
};

inline constexpr std::int32_t AAX_StemFormatChannelCount(std::uint32_t stem) {
    return static_cast<std::int32_t>(stem & 0xFFFFu);
}

enum AAX_EProperty : std::uint32_t {
    AAX_eProperty_ManufacturerID = 11,
    AAX_eProperty_ProductID = 12,
    AAX_eProperty_PlugInID_Native = 13,
    AAX_eProperty_PlugInID_AudioSuite = 14,
    AAX_eProperty_InputStemFormat = 51,
    AAX_eProperty_OutputStemFormat = 52,
    AAX_eProperty_LatencyContribution = 56,
    AAX_eProperty_CanBypass = 60,
    AAX_eProperty_UsesClientGUI = 118,
};

// Indices of the fields of a component's render context. Each field is one
// pointer-sized slot that the host fills before every render call.
enum AAX_EField : std::int32_t {
    AAX_eField_AudioIn = 0,
    AAX_eField_AudioOut = 1,
    AAX_eField_BufferLength = 2,
    AAX_eField_MIDIInput = 3,
    AAX_eField_Unused4 = 4,
    AAX_eField_Transport = 5,
    AAX_eField_PrivateData = 6,
    AAX_eField_Unused7 = 7,
    AAX_eField_Count = 8,
};

enum AAX_EMIDINodeType : std::int32_t {
    AAX_eMIDINodeType_LocalInput = 0,
    AAX_eMIDINodeType_Transport = 3,
};

enum AAX_EProcPtrID : std::int32_t {
    AAX_eProcPtrID_Create_EffectParameters = 0,
    AAX_eProcPtrID_Create_EffectGUI = 1,
};

enum AAX_EParameterType : std::int32_t {
    AAX_eParameterType_Discrete = 0,
    AAX_eParameterType_Continuous = 1,
};

enum AAX_EViewContainer_Type : std::int32_t {
    AAX_eViewContainer_Type_NULL = 0,
    AAX_eViewContainer_Type_NSView = 1,
    AAX_eViewContainer_Type_HWND = 3,
};

// Host-side sample rates an AAX host runs at.
inline constexpr double AAX_kHostSampleRates[] = {44100.0, 48000.0,  88200.0,
                                                  96000.0, 176400.0, 192000.0};
