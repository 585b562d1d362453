// What the browser story and the latency benchmark share: the trace debugger as a process of its
// own (its lines with the time each arrived), Debian's Chromium driven by puppeteer-core, the
// page's hop list as the page shows it, and report datagrams as the panel sends them.
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { performance } from 'node:perf_hooks';
import puppeteer from 'puppeteer-core';

// Milliseconds on the clock the page's times are turned into (see Browser.clockOffset).
export const now = () => performance.timeOrigin + performance.now();
export const sleep = ms => new Promise(resolve => setTimeout(resolve, ms));

// Waits until check() gives something other than false/undefined/null, at most ms; throws with
// what was awaited when the time is up.
export async function until(what, check, ms = 10000) {
  const end = Date.now() + ms;
  for (;;) {
    const got = await check();
    if (got !== false && got !== undefined && got !== null) return got;
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await sleep(25);
  }
}

// The debugger started with args, its input a pipe kept open (so that the end of the input does
// not stop it), its output read a line at a time.
export class Debugger {
  constructor(program, args) {
    this.lines = [];  // { text, at }
    this.errors = '';
    this.exitCode = null;
    this.process = spawn(program, args, { stdio: ['pipe', 'pipe', 'pipe'] });
    let partial = '';
    this.process.stdout.on('data', chunk => {
      const at = now();
      partial += chunk.toString('utf8');
      let end;
      while ((end = partial.indexOf('\n')) >= 0) {
        this.lines.push({ text: partial.slice(0, end), at });
        partial = partial.slice(end + 1);
      }
    });
    this.process.stderr.on('data', chunk => { this.errors += chunk.toString('utf8'); });
    this.ended = new Promise(resolve => this.process.on('exit', code => { this.exitCode = code; resolve(code); }));
  }

  // The UDP port of its first line and the page of its second.
  async start() {
    await until('the debugger to listen' + (this.errors ? ': ' + this.errors : ''), () => this.lines.length >= 2);
    const udp = /^listening on 127\.0\.0\.1:(\d+)$/.exec(this.lines[0].text);
    const web = /^the scheme live in a web page: (http:\/\/127\.0\.0\.1:\d+\/)$/.exec(this.lines[1].text);
    if (!udp || !web) throw new Error('unexpected first lines: ' + this.lines.map(l => l.text).join(' | '));
    this.udpPort = Number(udp[1]);
    this.url = web[1];
  }

  // The hop lines so far (those that start with a link id).
  hopLines() { return this.lines.filter(l => l.text.startsWith('0x')); }

  type(text) { this.process.stdin.write(text); }
  stop() { if (this.exitCode === null) this.process.kill('SIGINT'); }
}

// Debian's Chromium, headless, with a profile of its own that is removed at the end.
export class Browser {
  static async launch() {
    const browser = new Browser();
    browser.profile = mkdtempSync(join(tmpdir(), 'fliran-chromium-'));
    browser.chromium = await puppeteer.launch({
      executablePath: process.env.FLIRAN_CHROMIUM || '/usr/bin/chromium',
      headless: false,  // the flag is among the arguments, as the machine's notes give them
      args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
             '--disable-background-networking', '--disable-component-update', '--disable-sync',
             `--user-data-dir=${browser.profile}`, '--window-size=1600,900', '--hide-scrollbars'],
      defaultViewport: { width: 1600, height: 900 },
      timeout: 60000,
    });
    return browser;
  }

  // Opens the page; the list items the page adds are recorded, with the time of the page's
  // update, by an observer of this test's own (the page has no hooks for tests).
  async open(url) {
    this.page = await this.chromium.newPage();
    this.problems = [];
    this.page.on('pageerror', error => this.problems.push('page error: ' + error.message));
    this.page.on('console', message => {
      if (message.type() === 'error') this.problems.push('console: ' + message.text());
    });
    this.page.on('requestfailed', request => {
      // The event stream is cut when the debugger ends; anything else failing is a fault.
      if (!request.url().includes('/events')) {
        this.problems.push('request failed: ' + request.url() + ' ' + (request.failure() || {}).errorText);
      }
    });
    await this.page.goto(url, { waitUntil: 'load' });
    await this.page.evaluate(() => {
      window.seenHops = [];
      new MutationObserver(records => {
        const at = performance.timeOrigin + performance.now();
        for (const record of records) {
          for (const node of record.addedNodes) {
            if (node.nodeType !== 1) continue;
            const entry = { text: node.querySelector('.line').textContent, at, frame: 0 };
            window.seenHops.push(entry);
            requestAnimationFrame(() => { entry.frame = performance.timeOrigin + performance.now(); });
          }
        }
      }).observe(document.getElementById('hops'), { childList: true });
    });
    return this.page;
  }

  // The page's hop lines as shown ({ text, at, frame }).
  seenHops() { return this.page.evaluate(() => window.seenHops); }

  // How far the page's clock is ahead of this process's, in ms, from the closest of a few round
  // trips (both count from their own time origin on the system's clock).
  async clockOffset() {
    let best = null;
    for (let i = 0; i < 20; i++) {
      const before = now();
      const there = await this.page.evaluate(() => performance.timeOrigin + performance.now());
      const after = now();
      if (!best || after - before < best.trip) best = { trip: after - before, offset: there - (before + after) / 2 };
    }
    return best.offset;
  }

  async close() {
    await this.chromium.close().catch(() => {});
    rmSync(this.profile, { recursive: true, force: true });
  }
}

// A report datagram as the panel's trace channel sends it: type 3, link id, kind (2 event,
// 4 pull about to be made, 3 pull made), tag and payload (1 integer, 2 text without its zero).
export function report(linkId, kind, value) {
  const isText = typeof value === 'string';
  const payload = value === undefined ? Buffer.alloc(0)
    : isText ? Buffer.from(value, 'latin1') : Buffer.alloc(4);
  if (value !== undefined && !isText) payload.writeInt32LE(value);
  const header = Buffer.alloc(16);
  header.writeUInt32LE(3, 0);
  header.writeUInt32LE(linkId, 4);
  header.writeUInt32LE(kind, 8);
  header.writeUInt32LE(value === undefined ? 0 : isText ? 2 : 1, 12);
  return Buffer.concat([header, payload]);
}
