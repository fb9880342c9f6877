// The text field: the committed text with its caret, and the input method's composition
// (underlined, with its own cursor) at the caret. Positions are UTF-16 code units, which is
// what JavaScript strings index by, so slicing needs no conversion.
(function (C) {
  'use strict';

  const LINE_HEIGHT = 1.4;
  const PAD_Y = 0.45;
  const PAD_X = 0.75;

  // Height of the field in px for a font size and a number of lines.
  function fieldHeight(fontSize, lines) {
    return fontSize * (lines * LINE_HEIGHT + 2 * PAD_Y);
  }

  // Largest font size <= wanted whose field of `lines` lines fits in maxHeight.
  function fitFontSize(wanted, lines, maxHeight) {
    const fit = maxHeight / (lines * LINE_HEIGHT + 2 * PAD_Y);
    return Math.max(8, Math.min(wanted, Math.floor(fit)));
  }

  function createTextField(box, content) {
    let frame = { op: '', text: '', preedit: '', committed: '', caret: 0, cursor: 0 };
    let opts = { fontSize: 34, lines: 3, widthPx: 800, direction: 'up', scroll: true, font: '' };
    let offset = 0;
    let shown = null; // the frame last drawn, so a redraw does not replay the commit flash

    function setOptions(next) {
      const merged = Object.assign({}, opts, next);
      if (JSON.stringify(merged) === JSON.stringify(opts) && shown) return;
      opts = merged;
      box.style.fontSize = opts.fontSize + 'px';
      box.style.width = Math.round(opts.widthPx) + 'px';
      box.style.height = Math.round(fieldHeight(opts.fontSize, opts.lines)) + 'px';
      box.style.setProperty('--line-height', String(LINE_HEIGHT));
      box.style.setProperty('--pad-y', PAD_Y + 'em');
      box.style.setProperty('--pad-x', PAD_X + 'em');
      box.style.fontFamily = opts.font;
      box.dataset.direction = opts.direction;
      box.classList.toggle('smooth', opts.scroll);
      render();
    }

    function setFrame(next) {
      frame = next;
      render();
    }

    function clear() {
      setFrame({ op: 'clear', text: '', preedit: '', committed: '', caret: 0, cursor: 0 });
    }

    // Logical runs of the field: plain text, freshly committed text, and the caret marker.
    function runs() {
      const { text, caret, preedit, cursor, committed, op } = frame;
      const before = text.slice(0, caret);
      const after = text.slice(caret);
      const out = [];
      const fresh = frame !== shown && op === 'commit' && committed.length > 0 && committed.length <= before.length &&
        before.endsWith(committed) ? committed.length : 0;
      out.push({ text: before.slice(0, before.length - fresh) });
      if (fresh) out.push({ text: before.slice(before.length - fresh), cls: 'fresh' });
      out.push({ marker: true });
      out.push({ text: after });
      return out;
    }

    function markerNode() {
      if (!frame.preedit) {
        const caret = document.createElement('span');
        caret.className = 'caret';
        return caret;
      }
      const pre = document.createElement('span');
      pre.className = 'preedit';
      pre.appendChild(document.createTextNode(frame.preedit.slice(0, frame.cursor)));
      const caret = document.createElement('span');
      caret.className = 'caret composing';
      pre.appendChild(caret);
      pre.appendChild(document.createTextNode(frame.preedit.slice(frame.cursor)));
      return pre;
    }

    function render() {
      const paragraphs = [[]];
      for (const run of runs()) {
        if (run.marker) {
          paragraphs[paragraphs.length - 1].push(markerNode());
          continue;
        }
        const parts = run.text.split('\n');
        parts.forEach((part, i) => {
          if (i > 0) paragraphs.push([]);
          if (!part) return;
          if (run.cls) {
            const span = document.createElement('span');
            span.className = run.cls;
            span.textContent = part;
            paragraphs[paragraphs.length - 1].push(span);
          } else {
            paragraphs[paragraphs.length - 1].push(document.createTextNode(part));
          }
        });
      }
      if (opts.direction === 'down') paragraphs.reverse();
      shown = frame;
      const frag = document.createDocumentFragment();
      for (const nodes of paragraphs) {
        const line = document.createElement('div');
        line.className = 'line';
        line.dir = 'auto';
        for (const n of nodes) line.appendChild(n);
        frag.appendChild(line);
      }
      content.textContent = '';
      content.appendChild(frag);
      box.classList.toggle('empty', frame.text === '' && frame.preedit === '');
      follow();
    }

    // Keeps the caret's line in view: "up" shows the newest lines at the bottom, "down" at the top.
    function follow() {
      const viewH = box.clientHeight - 2 * PAD_Y * opts.fontSize;
      const contentH = content.scrollHeight;
      const caret = content.querySelector('.caret');
      let y;
      if (contentH <= viewH) {
        offset = 0;
        y = opts.direction === 'up' ? viewH - contentH : 0;
      } else {
        let want = opts.direction === 'up' ? contentH - viewH : 0;
        if (caret) {
          const top = caret.offsetTop;
          const bottom = caret.offsetTop + Math.max(caret.offsetHeight, opts.fontSize * LINE_HEIGHT);
          if (top < want) want = top;
          if (bottom > want + viewH) want = bottom - viewH;
        }
        offset = Math.max(0, Math.min(contentH - viewH, want));
        y = -offset;
      }
      content.style.transform = 'translateY(' + Math.round(y) + 'px)';
    }

    return { setOptions, setFrame, clear, get frame() { return frame; } };
  }

  C.textfield = { createTextField, fieldHeight, fitFontSize, LINE_HEIGHT };
})(window.Clackery = window.Clackery || {});
