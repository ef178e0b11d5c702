#pragma once
// The installer library's exceptions. Two roots below the framework's Exception: EAI for the user's
// cancellation, ECustomTarnwickAbnormal for the library's own errors. The IException family translates its
// English message (or format text) through TranslateText when it is made:
//
//   throw IEInstallHardLink("Could not create hardlink");                       // message translated
//   throw IEInstallHardLink(Fmt, "Could not create hardlink for %s", name);    // format translated, then formatted
//
// The arguments of a format are never translated. A translated format that does not fit the arguments
// falls back to the English one, so a faulty language text cannot break an error message.

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/rtl/SysUtils.h"

// Selects the formatting constructor of the IException family.
struct TExceptionFormat {};
inline constexpr TExceptionFormat Fmt{};

// ---------------------------------------------------------------------------------------------------------
// User aborts and meta-variable errors

class EAI : public rtl::Exception {
public:
    using Exception::Exception;
};

// The user cancelled a dialog, the wizard or a disk change.
class EAIUserAbort : public EAI {
public:
    EAIUserAbort() : EAI("Installation aborted by the user") {}
};

class EAICannotExpandContainerDirMV : public EAI {
public:
    using EAI::EAI;
};

class EAICannotExpandInstallDirMV : public EAI {
public:
    using EAI::EAI;
};

// The distribution build was cancelled.
class EUserAbortInstall : public rtl::Exception {
public:
    EUserAbortInstall() : Exception("Creating Install Aborted!") {}
    using Exception::Exception;
};

// ---------------------------------------------------------------------------------------------------------
// The library's own errors

class ECustomTarnwickAbnormal : public rtl::Exception {
public:
    using Exception::Exception;
};

class ETarnwickAbnormal : public ECustomTarnwickAbnormal {
public:
    using ECustomTarnwickAbnormal::ECustomTarnwickAbnormal;
};

// Every archive error.
class ETrwkCompress : public ETarnwickAbnormal {
public:
    using ETarnwickAbnormal::ETarnwickAbnormal;
};

class EtcDiskFull : public ETrwkCompress {
public:
    EtcDiskFull() : ETrwkCompress("The disk is full") {}
    using ETrwkCompress::ETrwkCompress;
};

class EtcAborted : public ETrwkCompress {
public:
    EtcAborted() : ETrwkCompress("Operation aborted by user") {}
    using ETrwkCompress::ETrwkCompress;
};

// What was damaged, in plain words, for a person to read after an error's own text: the error names the
// failure, this says which file and which part of it, so that the person knows to fetch it again.
class TDamageNote {
public:
    explicit TDamageNote(rtl::AnsiString damage) : damage_(std::move(damage)) {}
    virtual ~TDamageNote() = default;
    const rtl::AnsiString& Damage() const { return damage_; }

private:
    rtl::AnsiString damage_;
};

// Packed data that cannot be unpacked; its message is the plain "error" of every failed zlib call.
class EDamagedData : public rtl::Exception, public TDamageNote {
public:
    explicit EDamagedData(rtl::AnsiString damage) : Exception("error"), TDamageNote(std::move(damage)) {}
};

// An archive whose table, positions or sizes do not hold together.
class ETrwkDamaged : public ETrwkCompress, public TDamageNote {
public:
    ETrwkDamaged(rtl::AnsiString message, rtl::AnsiString damage)
        : ETrwkCompress(std::move(message)), TDamageNote(std::move(damage))
    {
    }
};

// An error as a person is shown it: its message, ended by a full stop, then what was damaged when known.
rtl::AnsiString ShownErrorText(const rtl::Exception& error);

// A failure of an operating-system routine (TrwkSystem.h).
class EAPIRoutines : public ETarnwickAbnormal {
public:
    using ETarnwickAbnormal::ETarnwickAbnormal;
};

class EProgramLauncher : public ETarnwickAbnormal {
public:
    using ETarnwickAbnormal::ETarnwickAbnormal;
};

// A program could not be started; ErrorCode is the launcher's code.
class EProgramLauncherFailed : public EProgramLauncher {
public:
    EProgramLauncherFailed(rtl::AnsiString message, int32_t errorCode)
        : EProgramLauncher(std::move(message)), ErrorCode(errorCode)
    {
    }
    int32_t ErrorCode;
};

// ---------------------------------------------------------------------------------------------------------
// The translated family: the component errors of the engine and the wizard derive from IException and
// inherit its constructors (`using IException::IException;`).

class IException : public ECustomTarnwickAbnormal {
public:
    // The message in the target language (the English one when it has no translation).
    explicit IException(const rtl::AnsiString& message);
    // The format in the target language, formatted with the arguments.
    template <typename... Args>
    IException(TExceptionFormat, std::string_view format, const Args&... args)
        : ECustomTarnwickAbnormal(FormatList(format, std::array<rtl::TFormatArg, sizeof...(Args)>{rtl::TFormatArg(args)...}))
    {
    }

    // The translated format with the arguments; the English format when the translation does not fit them.
    static rtl::AnsiString FormatTranslated(std::string_view format, const rtl::TFormatArg* args, size_t count);

private:
    template <size_t N>
    static rtl::AnsiString FormatList(std::string_view format, const std::array<rtl::TFormatArg, N>& args)
    {
        return FormatTranslated(format, args.data(), args.size());
    }
};

// A hard link could not be made (CreateHardLinkChecked).
class IEInstallHardLink : public IException {
public:
    using IException::IException;
};

// Errors of the file containers; the engine raises the rest of the family.
class IEFileContainer : public IException {
public:
    using IException::IException;
};

// File attributes could not be set (SetFileAttributesChecked).
class IEfcSetAttributes : public IEFileContainer {
public:
    using IEFileContainer::IEFileContainer;
};

// A registry value could not be written.
class EIRCannotWriteValue : public rtl::Exception {
public:
    using Exception::Exception;
};
