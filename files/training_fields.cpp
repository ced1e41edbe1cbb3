#include "files/training_fields.h"

#include <climits>

#include "text/decimal_field.h"
#include "text/number_format.h"
#include "text/utf8.h"

namespace files {

namespace {

// True when `bytes` has a comma with a digit on either side, as a decimal comma would.
bool hasCommaBetweenDigits(std::string_view bytes) {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    for (std::size_t k = bytes.find(','); k != std::string_view::npos; k = bytes.find(',', k + 1)) {
        if (k > 0 && k + 1 < bytes.size() && digit(bytes[k - 1]) && digit(bytes[k + 1])) {
            return true;
        }
    }
    return false;
}

}  // namespace

long long TrainingFields::countRemaining() {
    long long count = 0;
    while (next()) {
        ++count;
    }
    return count;
}

std::string TrainingFields::place() const {
    long long line = 1;
    std::size_t lineStart = 0;
    for (std::size_t k = 0; k < m_fieldStart; ++k) {
        if (m_bytes[k] == '\n') {
            ++line;
            lineStart = k + 1;
        }
    }
    return "line " + text::FormatInteger(line) + ", column " +
           text::FormatInteger(static_cast<long long>(m_fieldStart - lineStart) + 1);
}

FileTail TrainingFields::tail() {
    const std::size_t from = m_pos;
    if (m_reader != nullptr) {
        m_reader->stopAt(from + kTailLook);
        while (m_bytes.size() < from + kTailLook && refill()) {
        }
    }
    FileTail found;
    const std::size_t end = std::min(m_bytes.size(), from + kTailLook);
    found.pastLook = m_bytes.size() > end || (m_reader != nullptr && m_reader->cutShort());
    const std::string_view look = m_bytes.substr(0, end);
    text::FieldScanner scanner(look);
    for (auto field = scanner.find(from); field.start < end; field = scanner.find(field.end)) {
        if (field.end == end && found.pastLook) {
            break;  // cut at the edge of the look: it may go on into anything
        }
        double value = 0.0;
        if (text::ReadDecimalField(look.substr(field.start, field.end - field.start), value) ==
            text::DecimalField::Ok) {
            ++found.numbers;
        } else {
            found.text = true;
        }
    }
    if (found.numbers > 0) {
        found.decimalComma = hasCommaBetweenDigits(m_bytes.substr(0, from));
    }
    return found;
}

bool TrainingFields::refill() {
    if (m_reader == nullptr) {
        return false;
    }
    if (core::Progress* progress = m_reader->progress(); progress != nullptr) {
        progress->setDone(static_cast<long long>(m_pos));
    }
    if (!m_reader->more()) {
        return false;
    }
    setBytes(m_reader->complete());
    return true;
}

std::string TrainingFields::prefix() const {
    std::string text = "The ";
    text += m_kind;
    text += " \"";
    text += text::ShownName(m_name, PATH_MAX);
    text += "\" ";
    return text;
}

}  // namespace files
