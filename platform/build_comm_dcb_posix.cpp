// BuildCommDCBA: line settings in the words of Windows' mode command.
#include "comm.h"
#include "last_error_posix.h"

#include <cctype>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

std::string lower(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::vector<std::string> words(std::string_view text)
{
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isBlank(text[i]))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && !isBlank(text[i]))
            ++i;
        if (i > start)
            out.push_back(lower(text.substr(start, i - start)));
    }
    return out;
}

// A rate in bits per second: decimal digits, above 0, within a DWORD. The
// mode command's two-digit abbreviations stand for the rates they always
// have.
std::optional<DWORD> rate(std::string_view text)
{
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    unsigned long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 0xffffffffull)
        return std::nullopt;
    constexpr std::pair<DWORD, DWORD> abbreviations[] = {
        {11, 110},  {15, 150},  {30, 300},  {60, 600},   {12, 1200},
        {24, 2400}, {48, 4800}, {96, 9600}, {19, 19200},
    };
    for (const auto &[shortForm, full] : abbreviations)
        if (value == shortForm)
            return full;
    return static_cast<DWORD>(value);
}

std::optional<BYTE> parity(std::string_view text)
{
    constexpr std::string_view letters = "noems"; // in the order of the constants
    if (text.size() != 1 || letters.find(text[0]) == std::string_view::npos)
        return std::nullopt;
    return static_cast<BYTE>(letters.find(text[0]));
}

std::optional<BYTE> dataBits(std::string_view text)
{
    if (text.size() != 1 || text[0] < '5' || text[0] > '8')
        return std::nullopt;
    return static_cast<BYTE>(text[0] - '0');
}

std::optional<BYTE> stopBits(std::string_view text)
{
    if (text == "1")
        return ONESTOPBIT;
    if (text == "1.5")
        return ONE5STOPBITS;
    if (text == "2")
        return TWOSTOPBITS;
    return std::nullopt;
}

std::optional<bool> onOff(std::string_view text)
{
    if (text == "on")
        return true;
    if (text == "off")
        return false;
    return std::nullopt;
}

// The control a modem line's word stands for, among `words`.
std::optional<DWORD> control(std::string_view text,
                             std::initializer_list<std::pair<std::string_view, DWORD>> words)
{
    for (const auto &[word, value] : words)
        if (text == word)
            return value;
    return std::nullopt;
}

// What the settings name; a field left empty is not named.
struct Named {
    std::optional<DWORD> baud;
    std::optional<BYTE> parity, data, stop;
    std::optional<bool> xon, octs, odsr, idsr;
    std::optional<DWORD> dtr, rts;
};

bool readNewForm(const std::vector<std::string> &fields, Named &named)
{
    for (const std::string &field : fields) {
        const std::size_t eq = field.find('=');
        if (eq == std::string::npos)
            return false;
        const std::string_view key = std::string_view(field).substr(0, eq);
        const std::string_view value = std::string_view(field).substr(eq + 1);
        bool ok = true;
        const auto take = [&ok](auto &slot, auto parsed) {
            ok = parsed.has_value();
            slot = parsed;
        };
        if (key == "baud")
            take(named.baud, rate(value));
        else if (key == "parity")
            take(named.parity, parity(value));
        else if (key == "data")
            take(named.data, dataBits(value));
        else if (key == "stop")
            take(named.stop, stopBits(value));
        else if (key == "xon")
            take(named.xon, onOff(value));
        else if (key == "octs")
            take(named.octs, onOff(value));
        else if (key == "odsr")
            take(named.odsr, onOff(value));
        else if (key == "idsr")
            take(named.idsr, onOff(value));
        else if (key == "to")
            ok = onOff(value).has_value();
        else if (key == "dtr")
            take(named.dtr, control(value, {{"on", DTR_CONTROL_ENABLE},
                                            {"off", DTR_CONTROL_DISABLE},
                                            {"hs", DTR_CONTROL_HANDSHAKE}}));
        else if (key == "rts")
            take(named.rts, control(value, {{"on", RTS_CONTROL_ENABLE},
                                            {"off", RTS_CONTROL_DISABLE},
                                            {"hs", RTS_CONTROL_HANDSHAKE},
                                            {"tg", RTS_CONTROL_TOGGLE}}));
        else
            ok = false;
        if (!ok)
            return false;
    }
    return true;
}

// "b[,p[,d[,s[,x|p]]]]": the last field sets the handshake as a whole.
bool readOldForm(const std::vector<std::string> &fields, Named &named)
{
    std::string text;
    for (const std::string &field : fields)
        text += field;
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (parts.size() > 5)
        return false;
    named.baud = rate(parts[0]);
    if (!named.baud)
        return false;
    const auto part = [&parts](std::size_t i, auto parse, auto &slot) {
        if (i >= parts.size())
            return true;
        slot = parse(parts[i]);
        return slot.has_value();
    };
    if (!part(1, parity, named.parity) || !part(2, dataBits, named.data) ||
        !part(3, stopBits, named.stop))
        return false;
    if (parts.size() == 5) {
        if (parts[4] == "x") {
            named.xon = true;
        } else if (parts[4] == "p") {
            named.octs = named.odsr = true;
            named.dtr = DTR_CONTROL_HANDSHAKE;
            named.rts = RTS_CONTROL_HANDSHAKE;
        } else {
            return false;
        }
    }
    return true;
}

// "com1" or "com1:" (any port number), which the settings may start with.
bool isPortName(std::string_view word)
{
    if (word.size() > 3 && word.back() == ':')
        word.remove_suffix(1);
    if (word.size() < 4 || word.substr(0, 3) != "com" || word[3] == '0')
        return false;
    for (const char c : word.substr(3))
        if (c < '0' || c > '9')
            return false;
    return true;
}

} // namespace

BOOL BuildCommDCBA(LPCSTR def, LPDCB dcb)
{
    if (def == nullptr || dcb == nullptr)
        return commFail(ERROR_INVALID_PARAMETER);
    std::vector<std::string> fields = words(def);
    if (!fields.empty()) {
        // The port name may be glued to the old form: "com1:96,n,8,1".
        const std::size_t colon = fields.front().find(':');
        if (colon != std::string::npos && isPortName(fields.front().substr(0, colon + 1))) {
            const std::string rest = fields.front().substr(colon + 1);
            fields.erase(fields.begin());
            if (!rest.empty())
                fields.insert(fields.begin(), rest);
        } else if (isPortName(fields.front())) {
            fields.erase(fields.begin());
        }
    }
    Named named;
    const bool oldForm = !fields.empty() && fields.front().find('=') == std::string::npos;
    if (!(oldForm ? readOldForm(fields, named) : readNewForm(fields, named)))
        return commFail(ERROR_INVALID_PARAMETER);

    DCB built = *dcb;
    if (named.baud) {
        built.BaudRate = *named.baud;
        if (*named.baud == 110)
            built.StopBits = TWOSTOPBITS;
    }
    if (named.parity)
        built.Parity = *named.parity;
    if (named.data)
        built.ByteSize = *named.data;
    if (named.stop)
        built.StopBits = *named.stop;
    built.fOutX = built.fInX = named.xon.value_or(false);
    built.fOutxCtsFlow = named.octs.value_or(false);
    built.fOutxDsrFlow = named.odsr.value_or(false);
    built.fDsrSensitivity = named.idsr.value_or(false);
    built.fDtrControl = named.dtr.value_or(DTR_CONTROL_ENABLE);
    built.fRtsControl = named.rts.value_or(RTS_CONTROL_ENABLE);
    *dcb = built;
    return TRUE;
}
