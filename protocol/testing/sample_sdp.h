#pragma once

namespace quillory {

// A video description that passes StudioSignal's rule: one bundled H.264 section, a sha-256
// fingerprint and two host candidates. Tests change it in one place to break one rule.
inline constexpr char sampleSDP[] =
    "v=0\r\n"
    "o=- 4611731400430051336 2 IN IP4 127.0.0.1\r\n"
    "s=-\r\n"
    "t=0 0\r\n"
    "a=group:BUNDLE 0\r\n"
    "a=fingerprint:sha-256 0B:6A:BD:16:33:1C:FD:6E:4F:AD:08:9E:00:5C:9D:36:5E:35:D1:50:E4:0F:"
    "95:E3:67:B2:70:6A:FF:8C:3E:4C\r\n"
    "m=video 9 UDP/TLS/RTP/SAVPF 102\r\n"
    "c=IN IP4 0.0.0.0\r\n"
    "a=candidate:1 1 udp 2122260223 192.168.1.20 51234 typ host generation 0\r\n"
    "a=candidate:2 1 udp 2122194687 fe80::1 51235 typ host\r\n"
    "a=sendonly\r\n"
    "a=rtpmap:102 H264/90000\r\n";

}  // namespace quillory
