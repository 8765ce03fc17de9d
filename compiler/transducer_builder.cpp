// Top-level build: resolve the inputs, pick codes and layout, describe the file.
#include "transducer_builder.h"

#include <algorithm>
#include <map>

#include "code_assignment.h"
#include "code_net.h"
#include "inverse_layout.h"
#include "read_ahead.h"
#include "sym_graph.h"

namespace vtm::compiler {
namespace {

struct Candidate {
  CodeAssignment codes;
  EncodedNetwork network;
  std::size_t size = 0;
};

// Size of the table area without the near and far state tables.
std::size_t TableAreaBase(const TransducerSpec& spec, std::string* error) {
  std::vector<uint8_t> bytes;
  Layout layout;
  if (!LayOutTransducer(spec, &bytes, error, &layout)) return SIZE_MAX;
  return layout.network;
}

void FillTables(const Alphabet& alphabet, const CodeAssignment& codes, TransducerSpec* spec) {
  // Symbol names: the tag names first, so that TAGMODE members can name them.
  spec->symbols = alphabet.tags;
  uint32_t max_ordinal = 0;
  for (int b = 0; b < 256; ++b)
    if (codes.chars[b].base) max_ordinal = std::max(max_ordinal, codes.Ordinal(codes.chars[b]));
  for (const SymbolCode& c : codes.tags) max_ordinal = std::max(max_ordinal, codes.Ordinal(c));
  for (uint8_t control : {codes.table, codes.esc, codes.tagsep, codes.eos, codes.tb, codes.eof})
    if (control) max_ordinal = std::max(max_ordinal, codes.Ordinal({control, 0}));

  spec->symbol_chars.assign(max_ordinal + 1, 0);
  for (int b = 0; b < 256; ++b)
    if (codes.chars[b].base) spec->symbol_chars[codes.Ordinal(codes.chars[b])] = uint16_t(b);
  if (codes.tb) spec->symbol_chars[codes.Ordinal({codes.tb, 0})] = ' ';

  NamedTableSpec diacritics{kDiacriticsTable, {}, {}};
  if (codes.tagsep) diacritics.entries.push_back({kTagSepKey, CodeValue(codes.tagsep, 0)});
  if (codes.eos) diacritics.entries.push_back({kEosKey, CodeValue(codes.eos, 0)});
  if (codes.tb) diacritics.entries.push_back({kTbKey, CodeValue(codes.tb, 0)});
  if (codes.eof) diacritics.entries.push_back({kEofKey, CodeValue(codes.eof, 0)});
  spec->named_tables.clear();
  if (!diacritics.entries.empty()) spec->named_tables.push_back(diacritics);
  if (!alphabet.tags.empty()) {
    NamedTableSpec tagmode{kTagModeTable, std::vector<uint16_t>(max_ordinal + 1, 0), {}};
    for (std::size_t t = 0; t < alphabet.tags.size(); ++t) {
      const SymbolCode& c = codes.tags[t];
      tagmode.members[codes.Ordinal(c)] = SymbolIndex(spec->symbols, t);
      tagmode.entries.push_back({alphabet.tags[t], uint16_t(c.base << 8 | c.escapes)});
    }
    spec->named_tables.push_back(tagmode);
  }

  int first = 256, last = -1;
  for (int b = 0; b < 256; ++b)
    if (codes.chars[b].base) first = std::min(first, b), last = std::max(last, b);
  spec->char_map = CharMapSpec();
  spec->char_map.wide = codes.max_char_escapes > 3;
  if (last < 0) {  // no characters: one entry, 0
    spec->char_map.first = spec->char_map.last = 1;
    spec->char_map.entries = {0};
  } else {
    spec->char_map.first = static_cast<uint8_t>(first);
    spec->char_map.last = static_cast<uint8_t>(last);
    for (int b = first; b <= last; ++b) {
      const SymbolCode& c = codes.chars[b];
      uint16_t entry = 0;
      if (c.base)
        entry =
            spec->char_map.wide ? uint16_t(c.base << 8 | c.escapes) : uint16_t(c.base | c.escapes);
      spec->char_map.entries.push_back(entry);
    }
  }
}

}  // namespace

bool BuildTransducer(const BuildOptions& options, TransducerSpec* spec, BuildReport* report,
                     std::string* error) {
  *report = BuildReport();
  auto progress = [&](const std::string& text) {
    if (options.progress) options.progress(text);
  };
  if (options.inputs.empty()) {
    *error = "no input transducer: give at least one function";
    return false;
  }
  std::map<int, const BuildInput*> by_function;
  for (const BuildInput& in : options.inputs) {
    if (in.function < 1 || in.function > kMaxFunction) {
      *error = "function number " + std::to_string(in.function) + " is out of range 1-" +
               std::to_string(kMaxFunction);
      return false;
    }
    if (!by_function.emplace(in.function, &in).second) {
      *error = "function " + std::to_string(in.function) + " is given twice";
      return false;
    }
  }
  // One graph per distinct (transducer, projection, layout); functions may share a
  // subnet. Generation is read by the inverse walk alone and gets the layout made for it.
  struct GraphSlot {
    const BuildInput* input;
    bool project;
    bool inverse_layout;
    bool inverse_used = false;
    SymGraph graph;
  };
  std::vector<GraphSlot> graphs;
  std::map<int, std::size_t> slot_of;
  for (auto [f, in] : by_function) {
    bool project = f == kFunctionExpansion;
    bool inverse_layout = f == kFunctionGeneration;
    std::size_t slot = graphs.size();
    for (std::size_t i = 0; i < graphs.size(); ++i)
      if (graphs[i].input->att == in->att && graphs[i].project == project &&
          graphs[i].inverse_layout == inverse_layout)
        slot = i;
    if (slot == graphs.size()) graphs.push_back({in, project, inverse_layout, false, {}});
    bool inverse = f == kFunctionGeneration || f == kFunctionStemming ||
                   (f == kFunctionAnalysis && !by_function.count(kFunctionGeneration));
    graphs[slot].inverse_used = graphs[slot].inverse_used || inverse;
    slot_of[f] = slot;
  }
  Alphabet alphabet;
  std::vector<const AttTransducer*> counted;  // dropped arcs count once per transducer
  for (GraphSlot& g : graphs) {
    progress("reading " + g.input->name);
    ResolveOptions ro{options.drop_unmappable, g.project};
    std::string message;
    std::size_t dropped = 0;
    bool ok = ResolveAtt(*g.input->att, ro, &alphabet, &g.graph, &dropped, &message);
    if (std::find(counted.begin(), counted.end(), g.input->att.get()) == counted.end()) {
      counted.push_back(g.input->att.get());
      report->dropped_arcs += dropped;
    }
    if (!ok || !PrepareGraph(*g.input->att, g.inverse_used, &g.graph, &message)) {
      *error = g.input->name + ": " + message;
      return false;
    }
    if (options.read_ahead_insertions && !g.inverse_used && !g.project && !g.inverse_layout)
      report->insertions_moved += ReadAheadInsertions(&g.graph);
  }
  std::vector<const SymGraph*> graph_ptrs;
  for (const GraphSlot& g : graphs) graph_ptrs.push_back(&g.graph);
  SymbolCounts arc_counts = CountSymbols(alphabet, graph_ptrs);
  // The generation layout writes its first sides as non-identity pairs x:epsilon.
  for (const GraphSlot& g : graphs) arc_counts.any_nonid = arc_counts.any_nonid || g.inverse_layout;
  SymbolCounts counts = arc_counts;
  if (!options.code_sample_fit) WeightBySample(options.code_sample, &counts);

  // Header and tables that do not depend on the layout.
  TransducerSpec base;
  base.header.language = options.language;
  base.header.char_encoding = options.char_encoding;
  base.header.creation_date = options.creation_date;
  base.copyright = options.copyright;
  base.version = options.version;
  int max_f = by_function.rbegin()->first;
  base.functions.assign(max_f, kNoSubnet);
  for (auto [f, slot] : slot_of) base.functions[f - 1] = static_cast<uint8_t>(slot);
  base.subnets.resize(graphs.size());

  // The class walk reports a tag as its base code / 4 plus 64 per escape after it; that
  // is the tag's symbol number only when escapes follow the base.
  const bool escapes_after =
      by_function.count(kFunctionClassLexicon) || by_function.count(kFunctionClassGuesser);
  std::vector<int> bases;
  if (options.label_base)
    bases = {options.label_base};
  else
    bases = {32, 48, 64, 80, 96, 112, 128};
  std::string last_error;
  // Encodes every graph with label base lb; with `plain_only`, only those that are not
  // laid out for the inverse walk. False (and last_error) when that base cannot serve.
  auto encode = [&](int lb, bool plain_only, Candidate* c) {
    if (lb % 4 != 0 || lb < 16 || lb > 240) {
      last_error = "label base must be a multiple of 4 from 16 to 240";
      return false;
    }
    if (!AssignCodes(static_cast<uint8_t>(lb), alphabet, counts, &c->codes, &last_error))
      return false;
    c->codes.escapes_after = escapes_after;
    TransducerSpec probe = base;
    FillTables(alphabet, c->codes, &probe);
    std::size_t area = TableAreaBase(probe, &last_error);
    if (area == SIZE_MAX) return false;
    EncoderOptions eo = options.encoder;
    eo.max_state_table_entries = area >= 65535 ? 0 : (65535 - area) / 3;
    std::vector<CodeNet> nets;
    nets.reserve(graphs.size());
    for (const GraphSlot& g : graphs) {
      if (plain_only && g.inverse_layout) continue;
      CodeNet net = BuildCodeNet(g.graph, c->codes);
      nets.push_back(g.inverse_layout ? InverseLayout(net) : std::move(net));
    }
    std::vector<const CodeNet*> net_ptrs;
    for (const CodeNet& n : nets) net_ptrs.push_back(&n);
    if (!EncodeNetwork(net_ptrs, c->codes, eo, &c->network, &last_error)) return false;
    int width = c->network.bytes.size() > 65536 ? 3 : 2;
    c->size = area + c->network.bytes.size() +
              width * (c->network.near_states.size() + c->network.far_states.size());
    return true;
  };
  // The label base is chosen for the functions that the lookup walks read; a generation
  // layout follows that choice (and is built once), so that adding generation to a file
  // does not change how its analysis is laid out.
  bool any_inverse = false, any_plain = false;
  for (const GraphSlot& g : graphs) (g.inverse_layout ? any_inverse : any_plain) = true;
  const bool plain_choice = any_inverse && any_plain;
  Candidate best;
  for (int lb : bases) {
    progress("encoding with label base " + std::to_string(lb));
    Candidate c;
    if (encode(lb, plain_choice, &c) && (!best.size || c.size < best.size)) best = std::move(c);
  }
  if (options.code_sample_fit && !options.code_sample.empty() && best.size) {
    // Sample characters that still need escapes, most frequent first; each is kept when
    // ranking it (with those kept before it) first leaves the file no larger than the
    // arc counts' file. Characters rarer than one in 10,000 of the sample are not tried.
    const std::size_t limit = best.size;
    const int lb = best.codes.label_base;
    std::vector<uint64_t> seen(256, 0);
    for (unsigned char ch : options.code_sample) ++seen[ch];
    std::vector<int> order;
    for (int b = 0; b < 256; ++b)
      if (seen[b] && arc_counts.chars[b] && seen[b] * 10000 >= options.code_sample.size())
        order.push_back(b);
    std::stable_sort(order.begin(), order.end(), [&](int x, int y) { return seen[x] > seen[y]; });
    std::vector<bool> keep(256, false);
    auto kept_sample = [&] {
      std::string sub;
      for (unsigned char ch : options.code_sample)
        if (keep[ch]) sub.push_back(static_cast<char>(ch));
      return sub;
    };
    progress("fitting the code sample into " + std::to_string(limit) + " bytes");
    for (int b : order) {
      if (best.codes.chars[b].escapes == 0) continue;
      keep[b] = true;
      counts = arc_counts;
      WeightBySample(kept_sample(), &counts);
      Candidate c;
      if (encode(lb, plain_choice, &c) && c.size <= limit) {
        best = std::move(c);
        report->sample_characters_kept.push_back(static_cast<char>(b));
      } else {
        keep[b] = false;
      }
    }
    counts = arc_counts;
    WeightBySample(kept_sample(), &counts);
  }
  if (plain_choice && best.size) {
    progress("encoding every function with label base " + std::to_string(best.codes.label_base));
    Candidate all;
    if (!encode(best.codes.label_base, false, &all)) all.size = 0;
    best = std::move(all);
  }
  if (!best.size) {
    *error = last_error;
    return false;
  }
  progress("writing the file description");
  *spec = std::move(base);
  FillTables(alphabet, best.codes, spec);
  const CodeAssignment& codes = best.codes;
  const EncodedNetwork& net = best.network;
  HeaderSpec& h = spec->header;
  h.esc_label = codes.esc ? codes.esc : codes.eps;
  h.near_ref_base = net.near_ref_base;
  h.far_ref_base = net.far_ref_base;
  h.abs_ref_base = net.abs_ref_base;
  h.label_base = codes.label_base;
  h.table_label = codes.table;
  h.esc_radix = codes.esc_radix;
  // Tables carry their largest offset; escapes precede their base unless bit 7 is set.
  h.code_flags = static_cast<uint8_t>(kCodeTableMax | (codes.escapes_after ? kCodeEscAfter : 0));
  h.eps_label = codes.eps;
  h.nid_label = codes.nid;
  h.state_ref_width = net.bytes.size() > 65536 ? 3 : 2;
  for (std::size_t k = 0; k < graphs.size(); ++k) {
    spec->subnets[k].start_state = net.starts[k];
    spec->subnets[k].first_char_label = codes.first_char;
    spec->subnets[k].instr_label = codes.instr;
    spec->subnets[k].initial_flag_state = 0;
  }
  spec->near_states = net.near_states;
  spec->far_states = net.far_states;
  spec->network = net.bytes;

  report->label_base = codes.label_base;
  report->network_bytes = net.bytes.size();
  report->code_states = net.states;
  report->code_arcs = net.arcs;
  report->tables = net.tables;
  report->near_states = net.near_states.size();
  report->far_states = net.far_states.size();
  report->tags = alphabet.tags.size();
  for (int b = 0; b < 256; ++b) report->chars += codes.chars[b].base != 0;
  for (int b = 0; b < 256; ++b) report->escaped_symbols += codes.chars[b].escapes != 0;
  for (const SymbolCode& c : codes.tags) report->escaped_symbols += c.escapes != 0;
  for (auto [f, slot] : slot_of) {
    const SymGraph& g = graphs[slot].graph;
    report->functions.push_back({f, static_cast<int>(slot), g.state_count(), g.arcs.size()});
  }
  return true;
}

}  // namespace vtm::compiler
