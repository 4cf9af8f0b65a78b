#include "slurm_job.h"

#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>

#include "child_process.h"
#include "chunks.h"
#include "farm_progress.h"
#include "video_parts.h"

namespace vthud_tool {

namespace {

std::string Absolute(const std::string& pPath) {
  return QDir::cleanPath(QFileInfo(QString::fromLocal8Bit(pPath.c_str())).absoluteFilePath())
      .toLocal8Bit()
      .toStdString();
}

// Single-quoted for bash.
std::string Quoted(const std::string& pText) {
  std::string lQuoted = "'";
  for (char c : pText) lQuoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return lQuoted + "'";
}

std::string CommandLine(const std::vector<std::string>& pWords) {
  std::string lLine;
  for (const std::string& lWord : pWords) lLine += (lLine.empty() ? "" : " ") + Quoted(lWord);
  return lLine;
}

// Written whole under a temporary name, then renamed, executable.
bool WriteScript(const std::string& pPath, const std::string& pText, std::string& pError) {
  const std::string lTemporary = pPath + ".tmp";
  FILE* lFile = fopen(lTemporary.c_str(), "w");
  bool lOk = lFile && fwrite(pText.data(), 1, pText.size(), lFile) == pText.size();
  if (lFile && fclose(lFile) != 0) lOk = false;
  if (!lOk || chmod(lTemporary.c_str(), 0755) != 0 || rename(lTemporary.c_str(), pPath.c_str()) != 0) {
    remove(lTemporary.c_str());
    return pError = "--farm slurm: cannot write " + pPath, false;
  }
  return true;
}

// Runs a Slurm command to its end; its standard output, or its last message.
bool RunSlurm(const char* pProgram, const std::vector<std::string>& pArguments, std::string& pOutput,
              std::string& pError) {
  ChildProcess lCommand;
  if (!lCommand.Start(pArguments, ChildProcess::Direction::ReadFromIt, pError, pProgram)) return false;
  pOutput.clear();
  lCommand.ReadAll(pOutput, 1 << 16);
  if (!lCommand.Finish(pError)) return false;
  while (!pOutput.empty() && (pOutput.back() == '\n' || pOutput.back() == '\r')) pOutput.pop_back();
  return true;
}

// sbatch --parsable prints "JOBID" or "JOBID;CLUSTER".
bool Submit(const std::vector<std::string>& pArguments, const std::string& pWhat, std::string& pJob,
            std::string& pError) {
  std::string lOutput;
  if (!RunSlurm("sbatch", pArguments, lOutput, pError))
    return pError = "--farm slurm: sbatch refused " + pWhat + ": " + pError, false;
  pJob = lOutput.substr(0, lOutput.find(';'));
  if (pJob.empty() || pJob.find_first_not_of("0123456789") != std::string::npos)
    return pError = "--farm slurm: sbatch gave no job id for " + pWhat + " (it printed '" + lOutput + "')", false;
  return true;
}

std::string ChunkScript(const Options& o, const std::string& pTool, const std::vector<FrameRange>& pChunks,
                        const std::string& pLogs) {
  std::string lChunks;
  for (const FrameRange& c : pChunks) lChunks += " " + std::to_string(c.first) + ":" + std::to_string(c.last);
  std::vector<std::string> lCommand{pTool};
  lCommand.insert(lCommand.end(), o.taskArguments.begin(), o.taskArguments.end());
  const std::string lRun = std::to_string(o.frames.first) + ":" + std::to_string(o.frames.last);
  return "#!/bin/bash\n"
         "#SBATCH --job-name=" +
         Quoted("vthud " + QFileInfo(QString::fromStdString(o.out)).fileName().toStdString()) +
         "\n#SBATCH --output=" + pLogs +
         "/chunk-%a.log\n"
         "# One array task per chunk of frames " +
         lRun +
         ", drawn by the same tool with the run's own\n"
         "# arguments; the tool, plates and output are at the same paths on every node.\n"
         "set -u\n"
         "CHUNKS=(" +
         lChunks +
         " )\n"
         "CHUNK=${CHUNKS[$SLURM_ARRAY_TASK_ID]}\n"
         "echo \"vthud_preview: chunk $CHUNK of frames " +
         lRun +
         " on $(hostname)\"\n"
         "exec " +
         CommandLine(lCommand) + " --chunk \"$CHUNK\"\n";
}

std::string AssemblyScript(const Options& o, const std::string& pTool, const std::vector<FrameRange>& pChunks,
                           const std::string& pLogs) {
  std::vector<std::string> lCommand{pTool, "--assemble", o.out};
  for (const FrameRange& c : pChunks) lCommand.push_back(PartPath(o, c));
  return "#!/bin/bash\n"
         "#SBATCH --job-name=" +
         Quoted("vthud assemble " + QFileInfo(QString::fromStdString(o.out)).fileName().toStdString()) +
         "\n#SBATCH --output=" + pLogs +
         "/assemble.log\n"
         "# Joins the chunks' parts without re-encoding, once every chunk has succeeded.\n"
         "exec " +
         CommandLine(lCommand) + "\n";
}

}  // namespace

std::string ArrayList(const std::vector<size_t>& pIndices) {
  std::string lList;
  for (size_t i = 0; i < pIndices.size();) {
    size_t j = i;
    while (j + 1 < pIndices.size() && pIndices[j + 1] == pIndices[j] + 1) ++j;
    lList += (lList.empty() ? "" : ",") + std::to_string(pIndices[i]) +
             (j > i ? "-" + std::to_string(pIndices[j]) : std::string());
    i = j + 1;
  }
  return lList;
}

bool SubmitSlurmJob(const Options& pOptions, const std::string& pTool, std::string& pReport, std::string& pError) {
  if (!pOptions.farmDryRun && QStandardPaths::findExecutable(QStringLiteral("sbatch")).isEmpty())
    return pError = "--farm slurm: no sbatch on PATH (install slurm-client where the cluster is configured)",
           false;
  Options o = pOptions;
  o.out = Absolute(pOptions.out);
  o.farmDir = Absolute(FarmDir(pOptions));
  const std::string lDir = o.farmDir, lLogs = lDir + "/logs";
  if (!QDir().mkpath(QString::fromLocal8Bit(lLogs.c_str())))
    return pError = "--farm slurm: cannot make the farm folder " + lDir, false;
  const std::vector<FrameRange> lChunks = SplitFrames(o.frames, o.chunkSize);
  const std::vector<size_t> lPending = PendingChunks(o, lChunks);
  const bool lVideo = IsVideoOut(o.out);
  const std::string lChunkScript = lDir + "/chunks.sh", lAssemblyScript = lDir + "/assemble.sh";
  if (!WriteScript(lChunkScript, ChunkScript(o, pTool, lChunks, lLogs), pError)) return false;
  if (lVideo && !WriteScript(lAssemblyScript, AssemblyScript(o, pTool, lChunks, lLogs), pError)) return false;
  const std::string lFolder = "farm folder: " + lDir + " (scripts, logs/chunk-N.log" +
                              (lVideo ? ", logs/assemble.log, parts)" : ")") + "\n";
  if (lPending.empty() && !lVideo) {
    pReport = "all " + std::to_string(lChunks.size()) + " chunks of " + o.out + " are done; nothing submitted\n" +
              lFolder;
    return true;
  }
  std::vector<std::string> lChunkJob{"--parsable"};
  lChunkJob.insert(lChunkJob.end(), o.farmOptions.begin(), o.farmOptions.end());
  lChunkJob.insert(lChunkJob.end(), {"--array=" + ArrayList(lPending), lChunkScript});
  std::vector<std::string> lAssemblyJob{"--parsable"};
  lAssemblyJob.insert(lAssemblyJob.end(), o.farmOptions.begin(), o.farmOptions.end());
  const std::string lCounted =
      std::to_string(lPending.size()) + " of " + std::to_string(lChunks.size()) + " chunks";
  if (o.farmDryRun) {
    pReport = "dry run: wrote " + lChunkScript + (lVideo ? " and " + lAssemblyScript : "") + "; would submit " +
              lCounted + ":\n";
    if (!lPending.empty()) pReport += "  sbatch " + CommandLine(lChunkJob) + "\n";
    if (lVideo) {
      if (!lPending.empty())
        lAssemblyJob.insert(lAssemblyJob.end(), {"--dependency=afterok:JOBID", "--kill-on-invalid-dep=yes"});
      lAssemblyJob.push_back(lAssemblyScript);
      pReport += "  sbatch " + CommandLine(lAssemblyJob) + "\n";
    }
    pReport += lFolder;
    return true;
  }
  std::string lChunkId, lAssemblyId, lIgnored;
  if (!lPending.empty() && !Submit(lChunkJob, "the chunks' job", lChunkId, pError)) return false;
  if (lVideo) {
    // A failed chunk ends the assembly rather than leaving it pending for ever;
    // submitting again brings a new one.
    if (!lChunkId.empty())
      lAssemblyJob.insert(lAssemblyJob.end(), {"--dependency=afterok:" + lChunkId, "--kill-on-invalid-dep=yes"});
    lAssemblyJob.push_back(lAssemblyScript);
    if (!Submit(lAssemblyJob, "the assembly job", lAssemblyId, pError)) {
      // Nothing is left half-submitted: without its assembly the chunks' job goes too.
      if (!lChunkId.empty() && !RunSlurm("scancel", {lChunkId}, lIgnored, lIgnored))
        return pError += "; cancelling the chunks' job " + lChunkId + " failed too: run scancel " + lChunkId,
               false;
      if (!lChunkId.empty()) pError += "; the chunks' job " + lChunkId + " was cancelled";
      return false;
    }
  }
  pReport.clear();
  if (!lChunkId.empty())
    pReport += "submitted " + lCounted + " of frames " + std::to_string(o.frames.first) + " to " +
               std::to_string(o.frames.last) + " as job " + lChunkId + " (array " + ArrayList(lPending) + ")\n";
  else
    pReport += "all " + std::to_string(lChunks.size()) + " chunks are done\n";
  if (lVideo)
    pReport += "submitted the assembly into " + o.out + " as job " + lAssemblyId +
               (lChunkId.empty() ? "" : " (after job " + lChunkId + " succeeds)") + "\n";
  pReport += lFolder + "follow with: squeue -j " + (lChunkId.empty() ? "" : lChunkId + (lVideo ? "," : "")) +
             lAssemblyId + "\n";
  return true;
}

}  // namespace vthud_tool
