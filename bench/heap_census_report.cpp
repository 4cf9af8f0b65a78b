#include "heap_census_report.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <map>
#include <tuple>
#include <vector>

namespace vthud_bench {
namespace {

std::string Basename(const std::string& pPath) {
  const size_t lSlash = pPath.rfind('/');
  return lSlash == std::string::npos ? pPath : pPath.substr(lSlash + 1);
}

// "function (object)" for a return address; the call lies one byte before it.
std::string Name(const void* pAddress) {
  if (!pAddress) return "-";
  static std::map<const void*, std::string> sNames;
  auto lFound = sNames.find(pAddress);
  if (lFound != sNames.end()) return lFound->second;
  Dl_info lInfo;
  std::string lName = "?";
  if (dladdr(pAddress, &lInfo) && lInfo.dli_fname) {
    const auto lOffset = reinterpret_cast<uintptr_t>(pAddress) - reinterpret_cast<uintptr_t>(lInfo.dli_fbase) - 1;
    const std::string lCommand = "addr2line -f -C -e '" + std::string(lInfo.dli_fname) + "' 0x" + [&] {
      char lHex[32];
      snprintf(lHex, sizeof lHex, "%lx", static_cast<unsigned long>(lOffset));
      return std::string(lHex);
    }() + " 2>/dev/null";
    std::string lFunction;
    if (FILE* lPipe = popen(lCommand.c_str(), "r")) {
      char lLine[512];
      if (fgets(lLine, sizeof lLine, lPipe)) lFunction = lLine;
      std::string lWhere;
      if (fgets(lLine, sizeof lLine, lPipe)) lWhere = lLine;
      if (getenv("VTHUD_HEAP_CENSUS_LINES")) {
        while (!lWhere.empty() && lWhere.back() == '\n') lWhere.pop_back();
        char lHex[32];
        snprintf(lHex, sizeof lHex, "+0x%lx ", static_cast<unsigned long>(lOffset));
        lFunction.insert(0, lHex + Basename(lWhere) + " ");
      }
      pclose(lPipe);
    }
    while (!lFunction.empty() && (lFunction.back() == '\n' || lFunction.back() == '\r')) lFunction.pop_back();
    if (lFunction.empty() || lFunction == "??")
      lFunction = lInfo.dli_sname ? std::string(lInfo.dli_sname) + "+" : "?";
    const size_t lParen = lFunction.find('(');
    if (lParen != std::string::npos && lParen > 0) lFunction.resize(lParen);
    lName = lFunction + " (" + Basename(lInfo.dli_fname) + ")";
  }
  sNames[pAddress] = lName;
  return lName;
}

}  // namespace

std::string HeapCensusTable(const std::string& pTitle, const vthost::HeapCensus& pCensus, int pFrames) {
  if (!vthost::HeapCensusAvailable()) return "";
  std::string lOut;
  char lLine[1024];
  std::map<std::tuple<std::string, std::string, std::string>, long> lRows;
  for (const vthost::HeapCaller& lCaller : pCensus.callers)
    lRows[{Name(lCaller.asker), Name(lCaller.entry), Name(lCaller.plugin)}] += lCaller.blocks;
  std::vector<std::pair<long, std::tuple<std::string, std::string, std::string>>> lSorted;
  for (const auto& lRow : lRows) lSorted.emplace_back(lRow.second, lRow.first);
  std::sort(lSorted.rbegin(), lSorted.rend());
  snprintf(
      lLine, sizeof lLine,
      "\nHeap blocks per warm frame, %s: %.2f on the main thread (%.2f with the plug-in on the stack), %.2f on "
      "other threads%s\n",
      pTitle.c_str(), static_cast<double>(pCensus.blocks) / pFrames,
      static_cast<double>(pCensus.pluginBlocks) / pFrames, static_cast<double>(pCensus.otherThreads) / pFrames,
      pCensus.overflowed ? " (table full: some callers left out)" : "");
  lOut += lLine;
  snprintf(lLine, sizeof lLine, "  %7s  %-44s %-44s %s\n", "blocks", "asked by", "called from", "plug-in frame");
  lOut += lLine;
  for (const auto& lRow : lSorted) {
    snprintf(lLine, sizeof lLine, "  %7.2f  %-44s %-44s %s\n", static_cast<double>(lRow.first) / pFrames,
             std::get<0>(lRow.second).c_str(), std::get<1>(lRow.second).c_str(), std::get<2>(lRow.second).c_str());
    lOut += lLine;
  }
  return lOut;
}

}  // namespace vthud_bench
