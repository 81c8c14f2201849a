/*
 * Kestrava encoder browser client: widget records and the "/update" protocol.
 *
 * Pure logic without the page: builds request segments from the pending input of widget records and
 * reads the server's binary reply words into them. The page (app.js) and the node tests both use it.
 */
(function (root, factory) {
  if (typeof module === 'object' && module.exports) module.exports = factory();
  else root.KestravaProtocol = factory();
})(typeof self !== 'undefined' ? self : this, function () {
  'use strict';

  const CHECK_WORD = 9999;
  const GRAPH_NAMES = ['WAVE', 'DCWAVE', 'MPX', 'MBBANDS', 'PEQ', 'RF', 'SPECTRUM', 'KESTRAVARECEIVER'];
  // The types this client draws; any other code the server announces takes the "unknown" path.
  const BUILT_NAMES = ['OMITTED', 'WAVE', 'DCWAVE', 'MPX', 'DISPLAYONE', 'DISPLAYTWO', 'DISPLAYDBS', 'SLIDER', 'HEX',
    'DEC', 'STRING', 'BOOL_CHECK', 'BOOL_SWITCH', 'BOOL_STATUS', 'ENUM', 'ENUMACTION2', 'BUTTON', 'LINK',
    'HEADER', 'CORVIXKOEKERROR', 'LISTMANAGER'];

  const utf8Encoder = new TextEncoder();
  const utf8Decoder = new TextDecoder('utf-8');
  const floatScratch = new DataView(new ArrayBuffer(4));

  function textValues(text) {
    const bytes = utf8Encoder.encode(text);
    if (bytes.length === 0) return ',0,';
    let out = ',' + bytes.length;
    for (const b of bytes) out += ',' + b;
    return out;
  }

  function value32(v) {
    const u = v >>> 0;
    return ',' + (u & 0xffff) + ',' + (u >>> 16);
  }

  function floatBits(f) {
    floatScratch.setFloat32(0, f);
    return floatScratch.getUint32(0);
  }

  // The text the server hashes a password with: the named widget's value, a pepper, the entry.
  function pepperedPassword(namedValue, entry) {
    return namedValue + '@~%' + entry + '/3^^';
  }

  function createProtocol(env) {
    const WT = env.WIDGETTYPE;
    const T = env.T || {};
    const widgets = env.WIDGETS || {};
    const log = env.log || function () {};
    const sha256 = env.sha256;
    const maxWidth = env.maxWidth || {};
    const nameOf = {};
    for (const k of Object.keys(WT)) nameOf[WT[k]] = k;
    const graphCodes = new Set(GRAPH_NAMES.map((n) => WT[n]));
    const builtCodes = new Set(BUILT_NAMES.map((n) => WT[n]));
    const is = (w, ...names) => names.some((n) => w.type === WT[n]);

    function emptyError() { return { count: 0, text: '', time: '', dismiss: false }; }

    function getWidget(id) {
      id = Number(id);
      let w = widgets[id];
      if (w) return w;
      const known = Object.prototype.hasOwnProperty.call(T, id) && builtCodes.has(T[id]);
      w = {
        id: id, type: known ? T[id] : 'unknown', label: known ? '' : 'Unknown widget #' + id,
        active: id === -1, enabled: false, editable: false, receivedInitial: false,
        forced: true, requestInitial: true,
        dirty: 0, dirty_type: 0, dirty_value: null, dirty_position: 0, dirty_steps: 0, stepMode: 0,
        dirty_t: 0, dirty_text: '', list_index: 0, reset: 0,
        // descriptor and state fields
        origin: 0, scale: { scaleType: 0, range: 0, start: 0, primary_step: 0, secondary_step: 0 },
        max_len: 0, is_password: false, dont_store_password: false, supports_newline: false, hash_with_id: -1,
        steps_normal: 0, steps_normal_drag: 0, steps_fast: 0, positions: 0, position: 0, default_position: 0,
        value_text: '', value_text_editable: '', show_inverted: false, value: known && T[id] === WT.ENUM ? -1 : false,
        options: [], min: 0, max: 0, url: '', is_upload: false,
        errors: Array.from({ length: env.MAX_KOEK_ERRORS || 0 }, emptyError),
        meter: { main: -2, extra: -2, overlay: -2, median: -2, scheme: 0, error: '' },
        meters: null, revision: 0,
      };
      // Canvas views hold drawing buffers: kept out of the page framework's change tracking.
      Object.defineProperty(w, 'view', { value: [], enumerable: false, writable: true });
      if (known && (T[id] === WT.ENUM || T[id] === WT.ENUMACTION2)) w.value = -1;
      else if (known && T[id] === WT.LISTMANAGER) w.value = 0;
      if (env.reactive) w = env.reactive(w);
      widgets[id] = w;
      return w;
    }

    function isGraph(w) { return graphCodes.has(w.type); }
    function isKnown(w) { return w.type !== 'unknown'; }

    // ---- pending input (what the widget components call) ----
    function setValue(w, v) { w.dirty_value = v; w.value = v; w.dirty = 1; touchHashers(w); }
    const ops = {
      SetBoolean: setValue,
      SetEnum: setValue,
      SetString(w, text) { w.dirty_value = text; w.value = text; w.value_text = text; w.dirty = 1; touchHashers(w); },
      DragSlider(w, position, mode) { w.dirty_position = position; w.stepMode = mode; w.dirty = 1; w.dirty_type = 1; },
      StepSlider(w, steps, mode) { w.dirty_steps = steps; w.stepMode = mode; w.dirty = 1; w.dirty_type = 2; },
      SetSliderString(w, text) { w.dirty_text = text; w.dirty_t = 1; },
      SetButton(w) { w.forced = true; w.dirty = 1; },
      SetZoom(w, amount, view) { const v = w.view[view]; if (v) { v.dirty = 1; v.dirty_value = amount; v.forced = true; } },
      ResetCanvas(w, how) { w.reset = how === 'undo' ? 2 : 3; w.forced = true; },
      ClearError(w, index) { if (w.errors[index]) w.errors[index].dismiss = true; },
      ActivateListItem(w, index) { w.list_index = index; w.dirty = 1; w.dirty_type = 2; },
      RemoveListItem(w, index) { w.list_index = index; w.dirty = 1; w.dirty_type = 1; },
    };

    // A changed value invalidates the digests of the password fields hashed with it.
    function touchHashers(named) {
      for (const k of Object.keys(widgets)) {
        const w = widgets[k];
        if (w.hash_with_id === named.id && w.is_password && w.type === WT.STRING && w.entry) w.dirty = 1;
      }
    }

    // ---- request ----
    function head(id, forced, requestInitial, view) {
      return (id + 65536 * (forced ? 1 : 0) + 131072 * (requestInitial ? 1 : 0) + 262144 * view)
        .toString(16).toUpperCase();
    }

    function stringPayload(w) {
      let text = w.dirty_value == null ? '' : String(w.dirty_value);
      if (w.is_password && w.hash_with_id >= 0 && text !== '') {
        const named = widgets[w.hash_with_id];
        const namedValue = named ? String(named.value_text) : '';
        text = sha256(pepperedPassword(namedValue, text));
      }
      return textValues(text);
    }

    function GenerateWidgetSegment(w, view, width, height, forced, requestInitial) {
      if (w.id > 65535) {
        log('Cannot encode widget ' + w.id + ', id too high. Allocate an extra bit, maybe?');
        return '';
      }
      let s = head(w.id, forced, requestInitial, view);
      const t = w.type;
      if (t === WT.WAVE || t === WT.DCWAVE) {
        s += ',' + width + ',' + height;
        const v = w.view[view];
        if (v && v.dirty) {
          const z = 32768 + v.dirty_value;
          if (z >= 0 && z <= 65535) s += ',' + z;
          v.dirty = 0;
        }
      } else if (graphCodes.has(t)) {
        s += ',' + width + ',' + height;
      } else if (t === WT.SLIDER || t === WT.HEX || t === WT.DEC) {
        if (w.dirty && w.dirty_type === 1) {
          s += ',1,' + floatBits(w.dirty_position) + ',' + w.stepMode;
          w.dirty = 0;
        } else if (w.dirty && w.dirty_type === 2) {
          s += ',2,' + floatBits(w.dirty_steps) + ',' + w.stepMode;
          w.dirty = 0;
          w.dirty_steps = 0;
        } else if (w.dirty_t) {
          s += ',3' + textValues(w.dirty_text);
          w.dirty_t = 0;
        }
      } else if (t === WT.BOOL_CHECK || t === WT.BOOL_SWITCH || t === WT.BOOL_STATUS) {
        if (w.dirty) { s += w.dirty_value ? ',1' : ',0'; w.dirty--; }
      } else if (t === WT.STRING) {
        if (w.dirty) { s += stringPayload(w); w.dirty--; }
      } else if (t === WT.ENUM || t === WT.ENUMACTION2) {
        if (w.dirty) { s += value32(w.dirty_value); w.dirty--; }
      } else if (t === WT.BUTTON) {
        if (w.dirty) { s += ',0'; w.dirty--; }
      } else if (t === WT.CORVIXKOEKERROR) {
        w.errors.forEach((e, i) => { if (e.dismiss) { s += ',' + i; e.dismiss = false; } });
      } else if (t === WT.LISTMANAGER) {
        if (w.dirty) { s += ',' + w.dirty_type + value32(w.list_index); w.dirty = 0; }
      }
      return s + '/';
    }

    function GenerateWidgetSegments(w, pixelRatio) {
      if (!isKnown(w)) return '';
      let out = '';
      if (isGraph(w)) {
        let live = 0;
        w.view.forEach((v, i) => {
          if (v.destroyed) return;
          live++;
          const width = v.viewing ? Math.floor(v.browserWidth * pixelRatio) : 0;
          const height = v.viewing ? Math.floor(v.browserHeight * pixelRatio) : 0;
          out += GenerateWidgetSegment(w, i, width, height, v.forced || w.forced, w.requestInitial);
          if (v.viewing) v.forced = false;
        });
        if (live === 0) out += GenerateWidgetSegment(w, 0, 0, 0, true, w.requestInitial);
      } else {
        out += GenerateWidgetSegment(w, 0, 0, 0, w.forced, w.requestInitial);
      }
      w.forced = false;
      return out;
    }

    // ---- reply ----
    function Reader(words, pos, end) { this.w = words; this.p = pos; this.end = end; }
    Reader.prototype.left = function () { return this.end - this.p; };
    Reader.prototype.word = function () { return this.p < this.end ? this.w[this.p++] : 0; };
    Reader.prototype.int32 = function () { const lo = this.word(); const hi = this.word(); return (lo | (hi << 16)) | 0; };
    Reader.prototype.fraction = function () { const v = this.word() / 16384; return v > 2 ? -1 : v; };
    Reader.prototype.text = function () {
      const n = this.word();
      const bytes = [];
      for (let i = 0; i < Math.ceil(n / 2); i++) {
        const x = this.word();
        bytes.push(x >> 8);
        if ((x & 0xff) !== 0) bytes.push(x & 0xff);
      }
      return utf8Decoder.decode(new Uint8Array(bytes));
    };

    function readTextfield(w, r) {
      w.max_len = r.word();
      w.is_password = r.word() !== 0;
      w.dont_store_password = r.word() !== 0;
      w.supports_newline = r.word() !== 0;
      w.hash_with_id = r.int32();
      if (w.hash_with_id >= 0 && !widgets[w.hash_with_id]) {
        log('Widget ' + w.id + ': hash widget ' + w.hash_with_id + ' not found (yet), not hashing this password!');
      }
    }
    function readScale(w, r) {
      w.scale = { scaleType: r.int32(), range: r.int32(), start: r.int32(), primary_step: r.int32(), secondary_step: r.int32() };
    }

    function readDescriptor(w, r) {
      const t = w.type;
      if (t === WT.DISPLAYDBS) readScale(w, r);
      else if (t === WT.DISPLAYONE || t === WT.DISPLAYTWO) { w.origin = r.fraction(); readScale(w, r); }
      else if (t === WT.STRING) readTextfield(w, r);
      else if (t === WT.SLIDER || t === WT.HEX || t === WT.DEC) {
        w.steps_normal = r.word(); w.steps_normal_drag = r.word(); w.steps_fast = r.word();
        readTextfield(w, r);
      } else if (t === WT.BOOL_CHECK || t === WT.BOOL_SWITCH || t === WT.BOOL_STATUS) w.show_inverted = r.word() !== 0;
      else if (t === WT.LISTMANAGER) { w.min = r.int32(); w.max = r.int32(); }
      else if (t === WT.LINK) { w.url = env.linkUrl ? env.linkUrl(r.text()) : r.text(); w.is_upload = r.word() !== 0; }
    }

    const STAMP = /^(\d{4}\/\d{2}\/\d{2} \d{2}:\d{2}:\d{2}) /;

    function readState(w, r, viewIndex) {
      const t = w.type;
      if (t === WT.SLIDER || t === WT.HEX || t === WT.DEC) {
        w.positions = r.int32(); w.position = r.int32(); w.default_position = r.int32();
        w.value_text = r.text(); w.value_text_editable = r.text();
        w.value = w.positions > 0 ? w.position / w.positions : 0;
      } else if (t === WT.STRING) {
        const shown = r.text(); const editable = r.text();
        if (!w.dirty) { w.value_text = shown; w.value_text_editable = editable; w.value = shown; }
      } else if (t === WT.BOOL_CHECK || t === WT.BOOL_SWITCH || t === WT.BOOL_STATUS) {
        const on = r.word() !== 0;
        if (!w.dirty) w.value = on;
      } else if (t === WT.ENUM || t === WT.ENUMACTION2) {
        const has = r.word();
        let value = w.value;
        if (has !== 0) value = r.int32();
        if (r.left() > 0) {
          const n = r.word();
          const options = [];
          for (let i = 0; i < n && r.left() > 0; i++) {
            options.push({ value: r.int32(), level: r.word() << 16 >> 16, selectable: r.word() !== 0, text: r.text() });
          }
          w.options = options;
        }
        if (!w.dirty) w.value = value;
      } else if (t === WT.LISTMANAGER) {
        w.value = r.int32();
      } else if (t === WT.DISPLAYONE) {
        w.meter = { main: r.fraction(), extra: r.fraction(), overlay: r.fraction(), median: r.fraction(), scheme: r.word(), error: r.text() };
      } else if (t === WT.DISPLAYTWO) {
        const f = []; for (let i = 0; i < 8; i++) f.push(r.fraction());
        w.meters = { main: [f[0], f[1]], extra: [f[2], f[3]], overlay: [f[4], f[5]], median: [f[6], f[7]],
          gate: r.word() !== 0, scheme: [r.word() !== 0, r.word() !== 0] };
      } else if (t === WT.CORVIXKOEKERROR) {
        while (r.left() >= 4) {
          const index = r.int32(); const count = r.int32();
          let text = '';
          if (count !== 0) text = r.text();
          const m = STAMP.exec(text);
          const entry = { count: count, text: m ? text.slice(m[0].length) : text, time: m ? m[1] : '', dismiss: false };
          if (index >= 0 && index < w.errors.length) w.errors.splice(index, 1, entry);
        }
      } else if (isGraph(w)) {
        const width = r.word(); const height = r.word();
        const v = w.view[viewIndex];
        if (!v) {
          log('Widget ' + w.id + ' has an undefined view for idx=' + viewIndex);
          r.p = r.end;
          return;
        }
        v.picture = { width: width, height: height, words: width > 0 ? r.w.subarray(r.p, r.end) : null };
        r.p = r.end;
        if (v.onPicture) v.onPicture(v.picture);
      }
    }

    function UpdateWidget(words, pos) {
      const type = words[pos];
      const length = (words[pos + 1] | (words[pos + 2] << 16)) >>> 0;
      const id = words[pos + 3];
      const viewIndex = words[pos + 4];
      const flags = words[pos + 5];
      const start = pos + 6;
      const end = Math.min(start + length, words.length);
      const next = start + length + 1;
      const w = getWidget(id);
      w.active = (flags & 1) !== 0;
      w.enabled = (flags & 2) !== 0;
      w.editable = (flags & 4) !== 0;
      w.receivedInitial = (flags & 8) !== 0;
      if (!isKnown(w)) return next;
      if (type !== w.type) {
        log('Widget ' + id + ' got type ' + type + ' which does not correspond to the received type');
      }
      if (length > 0) {
        const r = new Reader(words, start, end);
        if (w.receivedInitial) {
          let title = r.text();
          title = title.replace('&mu;', 'µ');
          w.label = title;
          readDescriptor(w, r);
        }
        readState(w, r, viewIndex);
        if (r.p !== start + length) {
          log('Widget ' + id + ': Reported length was ' + length + ' but decoded ' + (r.p - start));
        }
      }
      if (w.receivedInitial) w.requestInitial = false;
      const check = words[start + length];
      if (check !== CHECK_WORD) log('Widget ' + id + ': Expected checksum is 9999 but saw ' + check);
      w.revision++;
      return next;
    }

    function toWords(bytes) {
      const u8 = bytes instanceof Uint8Array ? bytes : new Uint8Array(bytes);
      const n = u8.length >> 1;
      const words = new Uint16Array(n);
      for (let i = 0; i < n; i++) words[i] = u8[2 * i] | (u8[2 * i + 1] << 8);
      return words;
    }

    function decodeReply(bytes) {
      const words = toWords(bytes);
      let pos = 0;
      while (words.length - pos >= 3) pos = UpdateWidget(words, pos);
    }

    return Object.assign({
      widgets, getWidget, isGraph, isKnown, is, nameOf, maxWidth,
      GenerateWidgetSegment, GenerateWidgetSegments, UpdateWidget, decodeReply, toWords,
    }, ops);
  }

  return { createProtocol, textValues, value32, floatBits, pepperedPassword, BUILT_NAMES, GRAPH_NAMES };
});
