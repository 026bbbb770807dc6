#include "lv2/Lv2Turtle.h"

#include <cctype>
#include <charconv>
#include <map>
#include <vector>

#include "lv2/Lv2MapReport.h"
#include "lv2/Lv2Ports.h"

namespace lv2glue {
namespace {

constexpr const char* kPrefixes = "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
                                  "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
                                  "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                                  "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                                  "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
                                  "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
                                  "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
                                  "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                                  "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                                  "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                                  "@prefix rsz: <http://lv2plug.in/ns/ext/resize-port#> .\n"
                                  "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
                                  "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
                                  "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

std::string literal(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string pluginRef() {
    return std::string("<") + kPluginUri + ">";
}

std::string presetRef(int program) {
    return std::string("<") + kPluginUri + "#preset-" + std::to_string(program + 1) + ">";
}

std::string parameterName(APlugin& plugin, int32_t index) {
    char text[kTextScratchSize] = {};
    plugin.getParameterName(index, text);
    return text;
}

std::string programName(APlugin& plugin, int32_t index) {
    char text[kTextScratchSize] = {};
    plugin.getProgramNameIndexed(0, index, text);
    return text;
}

std::string displayAt(APlugin& plugin, int32_t index, float value) {
    const float before = plugin.getParameter(index);
    plugin.setParameter(index, value);
    char text[kTextScratchSize] = {};
    plugin.getParameterDisplay(index, text);
    plugin.setParameter(index, before);
    return text;
}

std::string pinName(APlugin& plugin, bool input, int32_t pin) {
    VstPinProperties properties{};
    if (input)
        plugin.getInputProperties(pin, &properties);
    else
        plugin.getOutputProperties(pin, &properties);
    return properties.label;
}

std::string audioPort(uint32_t index, const char* io, const char* symbol, const std::string& name) {
    return std::string("        a lv2:AudioPort, lv2:") + io + " ;\n        lv2:index " +
           std::to_string(index) + " ;\n        lv2:symbol " + literal(symbol) +
           " ;\n        lv2:name " + literal(name) + " ;\n";
}

std::string midiPort(uint32_t index, const char* io, const char* symbol, const char* name,
                     bool control) {
    std::string text = std::string("        a atom:AtomPort, lv2:") + io + " ;\n" +
                       "        atom:bufferType atom:Sequence ;\n" +
                       (control ? "        atom:supports midi:MidiEvent, atom:Object ;\n"
                                : "        atom:supports midi:MidiEvent ;\n") +
                       "        lv2:portProperty lv2:connectionOptional ;\n";
    if (control) text += "        lv2:designation lv2:control ;\n";
    return text + "        lv2:index " + std::to_string(index) + " ;\n        lv2:symbol " +
           literal(symbol) + " ;\n        lv2:name " + literal(name) + " ;\n";
}

// The editor's view of the controller map (Lv2MapReport.h); hosts pass it to the editor only.
std::string notifyPort() {
    return "        a atom:AtomPort, lv2:OutputPort ;\n"
           "        atom:bufferType atom:Sequence ;\n"
           "        atom:supports atom:Object ;\n"
           "        lv2:portProperty lv2:connectionOptional ;\n"
           "        rsz:minimumSize " +
           std::to_string(mapReportEventSize() * 4) + " ;\n        lv2:index " +
           std::to_string(Notify) + " ;\n        lv2:symbol \"notify\" ;\n" +
           "        lv2:name \"Editor notifications\" ;\n";
}

std::string controlPort(APlugin& plugin, int32_t param, const std::string& symbol, float value) {
    const std::string name = parameterName(plugin, param);
    std::string text = "        a lv2:InputPort, lv2:ControlPort ;\n        lv2:index " +
                       std::to_string(FirstControl + param) + " ;\n        lv2:symbol " +
                       literal(symbol) + " ;\n        lv2:name " + literal(name) +
                       " ;\n        lv2:default " + decimal(value) +
                       " ;\n        lv2:minimum 0.0 ;\n        lv2:maximum 1.0 ;\n";
    if (param == param::EQListen) {
        // A switch at 0.5: the two ends are its two states.
        text += "        lv2:portProperty lv2:toggled ;\n";
        text += "        lv2:scalePoint [ rdfs:label " + literal(displayAt(plugin, param, 0.0f)) +
                " ; rdf:value 0.0 ] , [ rdfs:label " + literal(displayAt(plugin, param, 1.0f)) +
                " ; rdf:value 1.0 ] ;\n";
    } else if (param > param::EQListen) {
        text += "        lv2:portProperty pprops:notOnGUI ;\n";
    }
    return text;
}

std::string joinPorts(const std::vector<std::string>& ports) {
    std::string text = "    lv2:port [\n";
    for (size_t i = 0; i < ports.size(); ++i) {
        text += ports[i];
        text += i + 1 < ports.size() ? "    ] , [\n" : "    ] .\n";
    }
    return text;
}

} // namespace

std::string symbolFor(std::string_view name) {
    std::string symbol;
    bool gap = false;
    for (char c : name) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            if (gap && !symbol.empty()) symbol += '_';
            gap = false;
            symbol += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        } else {
            gap = true;
        }
    }
    // A symbol is a C identifier: it may not be empty or start with a digit.
    if (symbol.empty() || std::isdigit(static_cast<unsigned char>(symbol[0])))
        symbol.insert(0, "p_");
    return symbol;
}

std::array<std::string, APlugin::kNumParams> controlSymbols(APlugin& plugin) {
    std::array<std::string, APlugin::kNumParams> symbols;
    std::map<std::string, int> uses;
    for (int32_t i = 0; i < APlugin::kNumParams; ++i)
        ++uses[symbols[i] = symbolFor(parameterName(plugin, i))];
    for (int32_t i = 0; i < APlugin::kNumParams; ++i)
        if (uses[symbols[i]] > 1) symbols[i].append("_").append(std::to_string(i));
    return symbols;
}

std::string decimal(float value) {
    char text[32];
    // Fixed notation: a turtle number with an exponent is a double, and some hosts read only
    // decimals.
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    std::string out(text, result.ptr);
    if (out.find('.') == std::string::npos) out += ".0";
    return out;
}

TurtleFiles writeTurtle(APlugin& plugin, std::string_view binaryName, int minorVersion,
                        int microVersion, std::string_view uiBinaryName) {
    const auto symbols = controlSymbols(plugin);
    std::array<float, APlugin::kNumParams> defaults{};
    for (int32_t i = 0; i < APlugin::kNumParams; ++i)
        defaults[i] = plugin.getParameter(i);

    TurtleFiles files;
    files.manifest = kPrefixes;
    files.manifest += pluginRef() + "\n    a lv2:Plugin ;\n    lv2:binary <" +
                      std::string(binaryName) + "> ;\n    rdfs:seeAlso <WadlingCompressor.ttl> .\n";
    const std::string uiRef = std::string("<") + kUiUri + ">";
    if (!uiBinaryName.empty())
        files.manifest += "\n" + uiRef + "\n    a ui:X11UI ;\n    ui:binary <" +
                          std::string(uiBinaryName) +
                          "> ;\n    rdfs:seeAlso <WadlingCompressor.ttl> .\n";

    files.presets = kPrefixes;
    for (int32_t program = 0; program < APlugin::kNumPrograms; ++program) {
        // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "..." + string&& in
        // release builds.
        files.manifest.append("\n").append(presetRef(program));
        files.manifest.append("\n    a pset:Preset ;\n    lv2:appliesTo ").append(pluginRef());
        files.manifest.append(" ;\n    rdfs:seeAlso <presets.ttl> .\n");
        plugin.setProgram(program);
        std::vector<std::string> ports;
        for (int32_t i = 0; i < APlugin::kNumParams; ++i)
            ports.push_back("        lv2:symbol " + literal(symbols[i]) +
                            " ;\n        pset:value " + decimal(plugin.getParameter(i)) + " ;\n");
        files.presets += presetRef(program) + "\n    a pset:Preset ;\n    lv2:appliesTo " +
                         pluginRef() + " ;\n    rdfs:label " +
                         literal(programName(plugin, program)) + " ;\n" + joinPorts(ports) + "\n";
    }

    char name[kTextScratchSize] = {};
    plugin.getEffectName(name);
    std::string& text = files.plugin;
    text = kPrefixes;
    text += pluginRef() + "\n    a lv2:Plugin, lv2:CompressorPlugin, doap:Project ;\n";
    text += "    doap:name " + literal(name) + " ;\n";
    text += "    rdfs:comment " +
            literal("A stereo-linked peak compressor whose detector listens through a "
                    "three-band sidechain EQ, with a soft saturator and a dry/wet mix.") +
            " ;\n";
    text += "    lv2:minorVersion " + std::to_string(minorVersion) + " ;\n";
    text += "    lv2:microVersion " + std::to_string(microVersion) + " ;\n";
    text += "    lv2:requiredFeature urid:map ;\n";
    text += "    lv2:optionalFeature lv2:hardRTCapable, opts:options ;\n";
    text += "    opts:supportedOption bufsz:maxBlockLength ;\n";
    text += "    lv2:extensionData state:interface ;\n";
    if (!uiBinaryName.empty()) text += "    ui:ui " + uiRef + " ;\n";
    std::vector<std::string> ports = {
        audioPort(InL, "InputPort", "in_l", pinName(plugin, true, 0)),
        audioPort(InR, "InputPort", "in_r", pinName(plugin, true, 1)),
        audioPort(OutL, "OutputPort", "out_l", pinName(plugin, false, 0)),
        audioPort(OutR, "OutputPort", "out_r", pinName(plugin, false, 1)),
        midiPort(MidiIn, "InputPort", "midi_in", "MIDI In", true),
        midiPort(MidiOut, "OutputPort", "midi_out", "MIDI Out", false),
    };
    for (int32_t i = 0; i < APlugin::kNumParams; ++i)
        ports.push_back(controlPort(plugin, i, symbols[i], defaults[i]));
    ports.push_back(notifyPort());
    text += joinPorts(ports);
    if (!uiBinaryName.empty()) {
        // A fixed-size window driven by the host's idle calls; it writes control ports as floats,
        // sends MIDI map requests to midi_in as atoms and hears the map's reports on notify.
        text += "\n" + uiRef + "\n    a ui:X11UI ;\n    ui:binary <" + std::string(uiBinaryName) +
                "> ;\n    lv2:requiredFeature ui:parent, urid:map ;\n" +
                "    lv2:optionalFeature ui:resize, ui:touch, ui:noUserResize ;\n" +
                "    lv2:extensionData ui:idleInterface ;\n" +
                "    ui:portNotification [\n        ui:plugin " + pluginRef() +
                " ;\n        lv2:symbol \"notify\" ;\n        ui:protocol atom:eventTransfer\n    "
                "] .\n";
    }
    plugin.setProgram(0);
    return files;
}

} // namespace lv2glue
