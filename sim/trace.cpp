#include "sim/trace.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

void sim_json_string(std::string& out, const std::string& text) {
    out += '"';
    for (unsigned char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
}

static void json_float(std::string& out, float f) {
    if (std::isnan(f)) {
        out += "NaN";
        return;
    }
    if (std::isinf(f)) {
        out += f < 0 ? "-Infinity" : "Infinity";
        return;
    }
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, f);
    out.append(buf, r.ptr);
}

static float bits_to_float(std::uint64_t word) {
    std::uint32_t bits = static_cast<std::uint32_t>(word);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

static void json_hash(std::string& out, std::uint32_t h) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "\"0x%08X\"", h);
    out += buf;
}

static void json_text(std::string& out, bool present, const std::string& text) {
    if (present) sim_json_string(out, text);
    else out += "null";
}

std::string sim_trace_line(const SimTraceEntry& e) {
    const SimNativeSignature& sig = *e.signature;
    std::string out = "{\"frame\":" + std::to_string(e.frame) + ",\"native\":\"" + sig.name + "\",\"args\":[";
    for (std::size_t i = 0; i < e.args.size(); ++i) {
        if (i) out += ',';
        SimArgKind kind = i < sig.arg_count ? sig.args[i] : SimArgKind::variadic;
        if (kind == SimArgKind::variadic) kind = SimArgKind::text;  // VAR_STRING's extras are texts
        const auto low = static_cast<std::uint32_t>(e.args[i]);
        switch (kind) {
            case SimArgKind::i32: out += std::to_string(static_cast<std::int32_t>(low)); break;
            case SimArgKind::boolean: out += low == 0 ? "false" : low == 1 ? "true" : std::to_string(low); break;
            case SimArgKind::hash32: json_hash(out, low); break;
            case SimArgKind::f32: json_float(out, bits_to_float(e.args[i])); break;
            case SimArgKind::handle:
            case SimArgKind::any: out += std::to_string(e.args[i]); break;
            case SimArgKind::text:
            case SimArgKind::variadic: json_text(out, e.text_present[i], e.texts[i]); break;
            case SimArgKind::f32_pointer:
                // The float the game wrote through the pointer, or null.
                if (e.wrote_f32) json_float(out, e.written_f32);
                else out += "null";
                break;
            case SimArgKind::handle_pointer: out += "{\"handle\":" + std::to_string(e.handle_before) + "}"; break;
        }
    }
    out += "],\"result\":";
    switch (sig.result) {
        case SimResultKind::none: out += "null"; break;
        case SimResultKind::i32:
            out += std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(e.result[0])));
            break;
        case SimResultKind::boolean: out += static_cast<std::uint32_t>(e.result[0]) ? "true" : "false"; break;
        case SimResultKind::hash32: json_hash(out, static_cast<std::uint32_t>(e.result[0])); break;
        case SimResultKind::handle:
        case SimResultKind::any: out += std::to_string(e.result[0]); break;
        case SimResultKind::text: json_text(out, e.result_text != nullptr, e.result_text_copy); break;
        case SimResultKind::vector3:
            out += '[';
            json_float(out, bits_to_float(e.result[0]));
            out += ',';
            json_float(out, bits_to_float(e.result[1]));
            out += ',';
            json_float(out, bits_to_float(e.result[2]));
            out += ']';
            break;
    }
    out += '}';
    return out;
}

bool sim_write_trace(const std::vector<SimTraceEntry>& trace, const std::string& path, std::string* error) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        if (error) *error = "cannot write " + path;
        return false;
    }
    for (const SimTraceEntry& e : trace) {
        std::string line = sim_trace_line(e);
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), f);
    }
    const bool ok = std::fclose(f) == 0;
    if (!ok && error) *error = "cannot write " + path;
    return ok;
}

bool sim_write_run_records(const SimHost& host, const std::string& trace_path, std::string* error) {
    return sim_write_trace(host.trace, trace_path, error) && sim_write_summary(host, "sim-summary.json", error);
}

bool sim_write_summary(const SimHost& host, const std::string& path, std::string* error) {
    std::string out = "{\"frames\":" + std::to_string(host.game.frame) +
                      ",\"native_calls\":" + std::to_string(host.native_calls) +
                      ",\"script_registrations\":" + std::to_string(host.script_registrations) +
                      ",\"script_unregistrations\":" + std::to_string(host.script_unregistrations) +
                      ",\"waits\":" + std::to_string(host.waits) + ",\"cursor\":[" +
                      std::to_string(host.game.cursor_x) + "," + std::to_string(host.game.cursor_y) + "],";
    // The GPS route as the game left it: drawn or not, its colour, where it applies, its points.
    const SimGame::GpsRoute& r = host.game.gps_route;
    out += "\"gps_route\":{\"shown\":";
    out += r.shown ? "true" : "false";
    out += ",\"colour\":" + std::to_string(r.colour) + ",\"on_foot\":";
    out += r.on_foot ? "true" : "false";
    out += ",\"in_vehicle\":";
    out += r.in_vehicle ? "true" : "false";
    out += ",\"points\":[";
    for (std::size_t i = 0; i < r.points.size(); ++i) {
        if (i) out += ",";
        out += "[";
        for (std::size_t k = 0; k < 3; ++k) {
            char v[32] = "null";  // JSON has no NaN nor infinity
            if (std::isfinite(r.points[i][k])) std::snprintf(v, sizeof v, "%.9g", static_cast<double>(r.points[i][k]));
            if (k) out += ",";
            out += v;
        }
        out += "]";
    }
    out += "],\"clears\":" + std::to_string(r.clears) + "},\"failure\":";
    if (host.failure.empty()) out += "null";
    else sim_json_string(out, host.failure);
    out += "}\n";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        if (error) *error = "cannot write " + path;
        return false;
    }
    std::fwrite(out.data(), 1, out.size(), f);
    return std::fclose(f) == 0;
}
