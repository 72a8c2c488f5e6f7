#include "cli/batch.h"

void Transcript::PrintTo(std::ostream& out, std::ostream& err) const
{
    for (const auto& [bError, text] : m_lines)
        (bError ? err : out) << text << std::flush;
}

TranscriptBuffer::int_type TranscriptBuffer::overflow(int_type c)
{
    if (!traits_type::eq_int_type(c, traits_type::eof()))
        m_pending += traits_type::to_char_type(c);
    return traits_type::not_eof(c);
}

std::streamsize TranscriptBuffer::xsputn(const char* text, std::streamsize count)
{
    m_pending.append(text, static_cast<std::size_t>(count));
    return count;
}

int TranscriptBuffer::sync()
{
    if (!m_pending.empty())
        m_transcript.Add(m_bError, std::move(m_pending));
    m_pending.clear();
    return 0;
}
