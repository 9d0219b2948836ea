#!/usr/bin/env node
// Checks a launcher page for what the Windows launcher's browser control
// needs: a doctype and an X-UA-Compatible declaration that puts the control
// in its newest document mode, and scripts that parse as ES5 (inline
// scripts, local script files and event handler attributes).
//
//   node tools/page/check_page.js [--modules NODE_MODULES_DIR] PAGE.html...
//
// Exits 0 when every page passes, 1 when one does not, 2 for a wrong
// command line, and 77 (a skipped test) when the parser, acorn, cannot be
// found: scripts/setup installs it into build/node/.
"use strict";

const fs = require("fs");
const path = require("path");

function usage() {
  process.stderr.write("usage: check_page.js [--modules NODE_MODULES_DIR] PAGE.html...\n");
  process.exit(2);
}

const args = process.argv.slice(2);
const searchPaths = [];
const pages = [];
for (let i = 0; i < args.length; ++i) {
  if (args[i] === "--modules") {
    if (i + 1 >= args.length) usage();
    searchPaths.push(args[++i]);
  } else {
    pages.push(args[i]);
  }
}
if (pages.length === 0) usage();

let acorn;
try {
  acorn = require(require.resolve("acorn", { paths: searchPaths.concat([__dirname]) }));
} catch (e) {
  console.log("skipped: the JavaScript parser acorn is not installed (scripts/setup installs it into build/node)");
  process.exit(77);
}

// 1-based line of an offset in a text.
function lineAt(text, offset) {
  let line = 1;
  for (let i = 0; i < offset; ++i) if (text.charCodeAt(i) === 10) ++line;
  return line;
}

function decodeEntities(text) {
  return text
    .replace(/&quot;/g, '"')
    .replace(/&#39;|&apos;/g, "'")
    .replace(/&lt;/g, "<")
    .replace(/&gt;/g, ">")
    .replace(/&amp;/g, "&");
}

function attribute(tag, name) {
  const match = new RegExp("\\s" + name + "\\s*=\\s*(\"([^\"]*)\"|'([^']*)'|([^\\s>]+))", "i").exec(tag);
  return match ? decodeEntities(match[2] ?? match[3] ?? match[4]) : null;
}

// Parses code as an ES5 script; firstLine is the page line the code starts on.
function checkScript(problems, where, code, firstLine, wrapInFunction) {
  const source = wrapInFunction ? "(function () {" + code + "\n})" : code;
  try {
    acorn.parse(source, { ecmaVersion: 5, sourceType: "script", locations: true });
  } catch (error) {
    const line = error.loc ? firstLine + error.loc.line - 1 : firstLine;
    problems.push(`${where}:${line}: not ES5: ${error.message.replace(/ \(\d+:\d+\)$/, "")}`);
  }
}

function checkDocumentMode(problems, file, html) {
  if (!/^\s*(<!--[\s\S]*?-->\s*)*<!DOCTYPE html>/i.test(html)) {
    problems.push(`${file}:1: no <!DOCTYPE html> first: the control would show the page in quirks mode`);
  }
  const head = /<head(\s[^>]*)?>([\s\S]*?)<\/head>/i.exec(html);
  if (!head) {
    problems.push(`${file}:1: no <head> to declare the document mode in`);
    return;
  }
  const headStart = head.index + head[0].indexOf(">") + 1;
  const metaPattern = /<meta\s[^>]*http-equiv\s*=\s*["']?X-UA-Compatible["']?[^>]*>/i;
  const meta = metaPattern.exec(head[2]);
  if (!meta) {
    problems.push(`${file}:${lineAt(html, headStart)}: no <meta http-equiv="X-UA-Compatible" content="IE=edge">: ` +
      "the control would run the page in an old document mode without ES5");
    return;
  }
  const line = lineAt(html, headStart + meta.index);
  if (attribute(meta[0], "content") !== "IE=edge") {
    problems.push(`${file}:${line}: X-UA-Compatible is "${attribute(meta[0], "content")}", not "IE=edge"`);
  }
  // Only <title> and other <meta> elements may come before it, or the control ignores it.
  const before = head[2].slice(0, meta.index)
    .replace(/<!--[\s\S]*?-->/g, "")
    .replace(/<title(\s[^>]*)?>[\s\S]*?<\/title>/gi, "")
    .replace(/<meta\s[^>]*>/gi, "");
  const other = /<([a-z][a-z0-9]*)/i.exec(before);
  if (other) {
    problems.push(`${file}:${line}: X-UA-Compatible comes after a <${other[1]}> element: ` +
      "the control ignores it there; put it first in <head>, after <meta charset> and <title> only");
  }
}

function checkPage(file) {
  const problems = [];
  const html = fs.readFileSync(file, "utf8");
  checkDocumentMode(problems, file, html);

  const scriptPattern = /<script(\s[^>]*)?>([\s\S]*?)<\/script\s*>/gi;
  let script;
  while ((script = scriptPattern.exec(html)) !== null) {
    const tag = "<script" + (script[1] || "") + ">";
    const type = attribute(tag, "type");
    if (type !== null && !/^(text|application)\/(javascript|ecmascript)$/i.test(type.trim())) continue;
    const src = attribute(tag, "src");
    if (src !== null) {
      if (/^[a-z][a-z0-9+.-]*:|^\/\//i.test(src)) {
        console.log(`${file}:${lineAt(html, script.index)}: not checked: ${src} lives on a server`);
        continue;
      }
      const local = path.resolve(path.dirname(file), src.split(/[?#]/)[0]);
      if (!fs.existsSync(local)) {
        problems.push(`${file}:${lineAt(html, script.index)}: script ${src} is missing`);
        continue;
      }
      checkScript(problems, path.join(path.dirname(file), src), fs.readFileSync(local, "utf8"), 1, false);
      continue;
    }
    const codeStart = script.index + script[0].indexOf(">") + 1;
    checkScript(problems, file, script[2], lineAt(html, codeStart), false);
  }

  // Event handler attributes are script bodies too.
  const tagPattern = /<[a-z][a-z0-9]*(\s+[^\s=>]+(\s*=\s*("[^"]*"|'[^']*'|[^\s>]*))?)*\s*\/?>/gi;
  let tag;
  while ((tag = tagPattern.exec(html)) !== null) {
    const handlerPattern = /\s(on[a-z]+)\s*=\s*("([^"]*)"|'([^']*)')/gi;
    let handler;
    while ((handler = handlerPattern.exec(tag[0])) !== null) {
      const code = decodeEntities(handler[3] ?? handler[4]);
      checkScript(problems, file, code, lineAt(html, tag.index), true);
    }
  }
  return problems;
}

let failed = false;
for (const page of pages) {
  let problems;
  try {
    problems = checkPage(page);
  } catch (error) {
    problems = [`${page}: ${error.message}`];
  }
  for (const problem of problems) console.log(problem);
  if (problems.length > 0) failed = true;
  else console.log(`${page}: document mode declared, scripts are ES5`);
}
process.exit(failed ? 1 : 0);
