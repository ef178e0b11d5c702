#include "installer/support/TrwkExceptions.h"

#include "installer/support/TranslatorHooks.h"

IException::IException(const rtl::AnsiString& message) : ECustomTarnwickAbnormal(TranslateText(message)) {}

rtl::AnsiString IException::FormatTranslated(std::string_view format, const rtl::TFormatArg* args, size_t count)
{
    const rtl::AnsiString english(format);
    const rtl::AnsiString translated = TranslateText(english);
    // A language text is data: its placeholders may not match what the program passes.
    try {
        return rtl::FormatArgs(translated, args, count);
    } catch (const rtl::EConvertError&) {
    }
    try {
        return rtl::FormatArgs(english, args, count);
    } catch (const rtl::EConvertError&) {
        // The program's own format does not fit either; the text still tells what went wrong.
        return english;
    }
}

rtl::AnsiString ShownErrorText(const rtl::Exception& error)
{
    rtl::AnsiString text = error.Message();
    const auto* note = dynamic_cast<const TDamageNote*>(&error);
    if (note == nullptr || note->Damage().empty())
        return text;
    // The full stop the application's own display would add to a message without one.
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        text += '.';
    return text + (text.empty() ? "" : " ") + note->Damage();
}
