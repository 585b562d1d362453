// The web view with the real panel: trace_debugger --web shown in Debian's headless Chromium while
// tools/run-panel.sh runs the traced panel under Wine with the virtual board. The port is picked
// in the panel while the debugger runs freely; then Step in the page holds the next hop, a click
// right of the eyes slider's thumb lights the links 6, 4 (the pull, then the value it gave), 3 and
// 5 one after the other, each released by exactly one Step (one of them the page's Enter key),
// with the values the board then receives; Stop in the page ends tracing, and the panel goes on
// untraced: the next move reaches the board with no hop in the page. A screenshot of the page
// is taken while the panel waits at link 5.
//
//   node tests/browser/story.mjs ROOT SCREENSHOT     (tests/scripts/web_view_test.sh runs it)
//
// Needs the native trace debugger and the mingw panel and board built; FLIRAN_WINE_STATE names the
// Wine session's state folder (its display) of the prefix the run command uses.
import { execFileSync, spawn } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { Browser, Debugger, sleep, until } from './debugger.mjs';

const [root, screenshot] = process.argv.slice(2);
if (!root || !screenshot || !process.env.FLIRAN_WINE_STATE) {
  console.error('usage: FLIRAN_WINE_STATE=DIR node tests/browser/story.mjs ROOT SCREENSHOT');
  process.exit(2);
}

const links = { 6: '01531200', 4: '01530D80', 3: '01530E10', 5: '01530F78' };
let failures = 0;
const check = (ok, what) => {
  if (!ok) {
    failures++;
    console.log('FAILED: ' + what);
  }
  return ok;
};

// The run command, in a process group of its own (ended as a terminal ends it), its lines kept.
class RunPanel {
  constructor(tracePort) {
    this.output = '';
    this.process = spawn(join(root, 'tools/run-panel.sh'), [], {
      cwd: root, detached: true, stdio: ['ignore', 'pipe', 'pipe'],
      env: { ...process.env, FLIRAN_TRACE: '1', FLIRAN_TRACE_PORT: String(tracePort) },
    });
    for (const stream of [this.process.stdout, this.process.stderr]) {
      stream.on('data', chunk => { this.output += chunk.toString('utf8'); });
    }
    this.ended = new Promise(resolve => this.process.on('exit', (code, signal) => resolve(code ?? signal)));
  }
  // The board's lines ("eyes 126") as the run command passes them on.
  boardLines() { return this.output.split('\n').filter(line => /^eyes \d+$/.test(line)); }
  interrupt() { try { process.kill(-this.process.pid, 'SIGINT'); } catch { /* gone */ } }
}

// xdotool on the Wine session's display.
function xdotool(...args) {
  const display = readFileSync(join(process.env.FLIRAN_WINE_STATE, 'display'), 'utf8').trim();
  return execFileSync('xdotool', args, { env: { ...process.env, DISPLAY: display }, encoding: 'utf8' }).trim();
}

const debuggerProcess = new Debugger(join(root, 'build/native/trace_debugger'), ['--port', '0', '--web', '0', '--run']);
let browser;
let panel;
try {
  await debuggerProcess.start();
  browser = await Browser.launch();
  const page = await browser.open(debuggerProcess.url);
  const status = () => page.$eval('#status', box => box.textContent);
  await until('the page to connect', async () => (await status()).startsWith('running freely'));
  const rows = async () => (await browser.seenHops()).map(hop => hop.text);
  // A link as the page draws it: lit by an event or a pull, held, and the value written beside it.
  const link = id => page.$eval('#link_' + id, group => ({
    lit: group.classList.contains('lit-event') ? 'event' : group.classList.contains('lit-pull') ? 'pull' : '',
    held: group.classList.contains('held'),
    value: group.querySelector('text.value').textContent,
  }));

  panel = new RunPanel(debuggerProcess.udpPort);
  await until('the panel to run', () => panel.output.includes('== the panel runs'), 240000);
  const window = xdotool('search', '--onlyvisible', '--name', '^ФЛИРАН_1$').split('\n')[0];

  // The board's port, COM 1 (the port box starts with no line: Down twice), while running freely.
  xdotool('mousemove', '--sync', '--window', window, '60', '230', 'click', '1', 'sleep', '0.2',
          'key', '--delay', '100', 'Down', 'Down');
  // The pick's last hop: the port's pull of the line picked.
  await until('the port pick in the page', async () =>
    (await rows()).some(text => text.endsWith('SerialPort.dataPort <- PortChooser.valIndex  = int 1')));

  // Step while running: the next hop waits.
  await page.click('#step');
  await until('stepping in the page', async () => (await status()).startsWith('stepping'));
  const before = (await rows()).length;
  const linesBefore = debuggerProcess.hopLines().length;
  xdotool('mousemove', '--sync', '--window', window, '370', '45', 'click', '1');

  // Each hop: it is held, lit and labelled in the page; one Step lets exactly it go on.
  const expected = [
    { link: 6, lit: 'event', text: /^0x01531200 SliderEyes\.outPosition -> JoinEyes\.inJoin {2}int (\d+)$/ },
    { link: 4, lit: 'pull', text: /^0x01530D80 JoinEyes\.dataFirst <- SliderEyes\.valPosition {2}pull$/ },
    { link: 4, lit: 'pull', text: /^0x01530D80 JoinEyes\.dataFirst <- SliderEyes\.valPosition {2}= int (\d+)$/ },
    { link: 3, lit: 'event', text: /^0x01530E10 JoinEyes\.outJoined -> FanOutLines\.inEvent {2}str "(\d+)\\n"$/ },
    { link: 5, lit: 'event', text: /^0x01530F78 FanOutLines\.outEvent 0 -> SerialPort\.inWrite {2}str "(\d+)\\n"$/ },
  ];
  const values = [];
  const lit = [];
  for (const [i, hop] of expected.entries()) {
    await until(`hop ${i + 1} in the page`, async () => (await rows()).length >= before + i + 1);
    await sleep(300);  // no other hop may come while this one is held
    const shown = (await rows()).slice(before);
    check(shown.length === i + 1, `after ${i} Steps the page shows ${shown.length} hops of the move: ${shown.join(' | ')}`);
    check(debuggerProcess.hopLines().length - linesBefore === i + 1, `after ${i} Steps the terminal shows another count`);
    const match = hop.text.exec(shown[i]);
    if (!check(match, `hop ${i + 1} is "${shown[i]}"`)) break;
    const drawn = await link(links[hop.link]);
    check(drawn.lit === hop.lit && drawn.held, `link ${hop.link} is not lit (${hop.lit}) and held: ${JSON.stringify(drawn)}`);
    const label = shown[i].split('  ').pop();  // "int 126", "pull", "= int 126", "str "126\n""
    check(drawn.value === label, `link ${hop.link} is labelled "${drawn.value}", not "${label}"`);
    if (match[1]) values.push(Number(match[1]));
    if (!lit.includes(hop.link)) lit.push(hop.link);
    check(panel.boardLines().length === 0, `the board moved before the write was let go: ${panel.boardLines()}`);
    if (i === expected.length - 1) await page.screenshot({ path: screenshot });
    // Enter in the page is Step too.
    if (i === 2) await page.keyboard.press('Enter'); else await page.click('#step');
  }
  check(lit.join(',') === '6,4,3,5', `the links lit in the order ${lit.join(', ')}`);
  check(values.length === 4 && values.every(value => value === values[0]), `the values differ: ${values}`);
  await until('the board to move the eyes', () => panel.boardLines().length > 0);
  check(panel.boardLines()[0] === `eyes ${values[0]}`, `the board did "${panel.boardLines()[0]}", the page showed ${values[0]}`);

  // Stop: the debugger ends, the page says so, and the panel goes on untraced.
  await until('the next hop to wait', async () => (await status()).startsWith('stepping'));
  await page.click('#stop');
  check(await Promise.race([debuggerProcess.ended, sleep(5000).then(() => 'still running')]) === 0,
        'the debugger did not end with 0 on Stop');
  await until('the page to say tracing stopped', async () => (await status()).startsWith('tracing stopped'));
  const afterStop = (await rows()).length;
  xdotool('mousemove', '--sync', '--window', window, '215', '45', 'click', '1');
  await until('the board to move the eyes untraced', () => panel.boardLines().length > 1);
  check(Number(panel.boardLines()[1].split(' ')[1]) < values[0], `the move left gave ${panel.boardLines()[1]}`);
  check((await rows()).length === afterStop, 'a hop came to the page after Stop');
  check(browser.problems.length === 0, 'the page reported: ' + browser.problems.join('; '));

  xdotool('windowfocus', '--sync', window);  // no window manager: focus, not activate
  xdotool('key', 'alt+F4');
  check(await Promise.race([panel.ended, sleep(30000).then(() => 'still running')]) === 0,
        'the run command did not end with 0 when the panel was closed');
  console.log(`links lit in the page: ${lit.join(', ')} with ${values[0]}; the board: ${panel.boardLines().join(', ')}`);
} catch (error) {
  failures++;
  console.log('FAILED: ' + error.message);
  if (debuggerProcess.errors) console.log('debugger: ' + debuggerProcess.errors);
  if (panel) console.log('run command:\n' + panel.output.split('\n').slice(-15).join('\n'));
} finally {
  debuggerProcess.stop();
  if (panel && panel.process.exitCode === null) {
    panel.interrupt();
    await Promise.race([panel.ended, sleep(30000)]);
  }
  await Promise.race([debuggerProcess.ended, sleep(5000)]);
  if (browser) await browser.close();
}
console.log(failures === 0 ? '1 passed, 0 failed' : '0 passed, 1 failed');
process.exitCode = failures === 0 ? 0 : 1;
