#ifndef VTHUD_TOOLS_SLURM_JOB_H
#define VTHUD_TOOLS_SLURM_JOB_H
// A run handed to Slurm: an array job with one task per chunk of --frames,
// each running this same tool with the run's own arguments plus --chunk, and
// for a video a second job, run once every task has succeeded, that
// assembles the parts. Submitting again redoes only the chunks not done.
#include <string>
#include <vector>

#include "run_options.h"

namespace vthud_tool {

// Writes the batch scripts into the farm folder and submits them with
// sbatch (or, with farmDryRun, prints the commands). pTool: this tool's
// absolute path. pReport: the lines to print (job ids, the folder, the
// squeue command). False with a one-line message; then nothing stays
// submitted.
bool SubmitSlurmJob(const Options& pOptions, const std::string& pTool, std::string& pReport, std::string& pError);

// "0-3,5,7-9" for Slurm's --array.
std::string ArrayList(const std::vector<size_t>& pIndices);

}  // namespace vthud_tool

#endif
