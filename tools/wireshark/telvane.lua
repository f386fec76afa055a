-- Wireshark dissector for the Telvane discovery and configuration protocol (UDP port 18768).
--
-- Install: copy to ~/.local/lib/wireshark/plugins/ (or the system plugin directory), or run
--   wireshark -X lua_script:telvane.lua
--   tshark -X lua_script:telvane.lua -r capture.pcap -Y telvane
--
-- Every datagram starts with marker 0xFFFF and a big-endian type. The last byte is the
-- 8-bit sum of all bytes before it, except in the enumerate reply, where byte 39 covers
-- bytes 0..38 only and the optional extension after it has no checksum of its own.

local DISCOVERY_PORT = 18768

local MSG_ENUMERATE = 0x454E
local MSG_ENUMERATE_REPLY = 0xC5CE
local MSG_SET_BASIC = 0x4950
local MSG_SET_EXTENDED = 0x4941
local MSG_SET_REPLY = 0xC9D0

local ENUMERATE_REPLY_BASE_SIZE = 40
local NAME_LENGTH_OFFSET = 114
local DEVICE_NAME_OFFSET = 115
local INVALID_DEVICE_NAME = "Invalid Device Name!!!"

local type_names = {
    [MSG_ENUMERATE] = "MSG_ENUMERATE",
    [MSG_ENUMERATE_REPLY] = "MSG_ENUMERATE_REPLY",
    [MSG_SET_BASIC] = "MSG_SET_BASIC",
    [MSG_SET_EXTENDED] = "MSG_SET_EXTENDED",
    [MSG_SET_REPLY] = "MSG_SET_REPLY",
}

-- The size each type is sent with; the enumerate reply may be longer (extension).
local type_sizes = {
    [MSG_ENUMERATE] = 5,
    [MSG_ENUMERATE_REPLY] = ENUMERATE_REPLY_BASE_SIZE,
    [MSG_SET_BASIC] = 24,
    [MSG_SET_EXTENDED] = 97,
    [MSG_SET_REPLY] = 12,
}

local name_forms = { [0] = "8-bit text", [1] = "UTF-16 big-endian", [2] = "invalid" }
local NAME_FORM_8BIT, NAME_FORM_UTF16, NAME_FORM_INVALID = 0, 1, 2

local p = Proto("telvane", "Telvane Discovery Protocol")

local f = {
    marker = ProtoField.uint16("telvane.marker", "Marker", base.HEX),
    type = ProtoField.uint16("telvane.type", "Type", base.HEX, type_names),
    mac = ProtoField.ether("telvane.mac", "MAC address"),
    ipv4_address = ProtoField.ipv4("telvane.ipv4_address", "IPv4 address"),
    ipv4_gateway = ProtoField.ipv4("telvane.ipv4_gateway", "IPv4 gateway"),
    ipv4_mask = ProtoField.ipv4("telvane.ipv4_mask", "IPv4 subnet mask"),

    status_flags = ProtoField.uint8("telvane.status_flags", "Status flags", base.HEX),
    status_dhcp = ProtoField.bool("telvane.status_flags.dhcp", "DHCP", 8, nil, 0x01),
    status_locked = ProtoField.bool("telvane.status_flags.locked", "Locked", 8, nil, 0x02),
    status_reserved = ProtoField.uint8("telvane.status_flags.reserved", "Reserved (must be zero)", base.HEX, nil,
                                       0x3C),
    model_name = ProtoField.string("telvane.model_name", "Model name"),

    extension = ProtoField.none("telvane.extension", "Extension"),
    ext_flags = ProtoField.uint8("telvane.ext_flags", "Extension flags", base.HEX),
    ext_dns4_auto = ProtoField.bool("telvane.ext_flags.dns4_auto", "EXT_DNS4_AUTO", 8, nil, 0x01),
    ext_dns6_auto = ProtoField.bool("telvane.ext_flags.dns6_auto", "EXT_DNS6_AUTO", 8, nil, 0x02),
    ext_dhcp6 = ProtoField.bool("telvane.ext_flags.dhcp6", "EXT_DHCP6", 8, nil, 0x04),
    ext_ipv6 = ProtoField.bool("telvane.ext_flags.ipv6", "EXT_IPV6", 8, nil, 0x08),
    dns4_preferred = ProtoField.ipv4("telvane.dns4_preferred", "Preferred IPv4 DNS server"),
    dns4_alternate = ProtoField.ipv4("telvane.dns4_alternate", "Alternate IPv4 DNS server"),
    ipv6_address = ProtoField.ipv6("telvane.ipv6_address", "IPv6 address"),
    ipv6_prefix_length = ProtoField.uint8("telvane.ipv6_prefix_length", "IPv6 prefix length", base.DEC),
    ipv6_gateway = ProtoField.ipv6("telvane.ipv6_gateway", "IPv6 gateway"),
    dns6_preferred = ProtoField.ipv6("telvane.dns6_preferred", "Preferred IPv6 DNS server"),
    dns6_alternate = ProtoField.ipv6("telvane.dns6_alternate", "Alternate IPv6 DNS server"),
    name_length = ProtoField.uint8("telvane.name_length", "Name length", base.DEC),
    name_form = ProtoField.uint8("telvane.name_form", "Name form", base.DEC, name_forms),
    device_name = ProtoField.string("telvane.device_name", "Device name"),

    dhcp = ProtoField.uint8("telvane.dhcp", "DHCP", base.DEC, { [0] = "static", [1] = "DHCP" }),

    set_flags = ProtoField.uint8("telvane.set_flags", "Set flags", base.HEX),
    set_dns4_auto = ProtoField.bool("telvane.set_flags.dns4_auto", "SET_DNS4_AUTO", 8, nil, 0x01),
    set_dhcp4 = ProtoField.bool("telvane.set_flags.dhcp4", "SET_DHCP4", 8, nil, 0x02),
    set_dns6_auto = ProtoField.bool("telvane.set_flags.dns6_auto", "SET_DNS6_AUTO", 8, nil, 0x04),
    set_dhcp6 = ProtoField.bool("telvane.set_flags.dhcp6", "SET_DHCP6", 8, nil, 0x08),
    set_reserved = ProtoField.uint8("telvane.set_flags.reserved", "Reserved (zero)", base.HEX, nil, 0xF0),

    result = ProtoField.uint8("telvane.result", "Result", base.DEC),
    accepted = ProtoField.bool("telvane.accepted", "Accepted"),

    checksum = ProtoField.uint8("telvane.checksum", "Checksum", base.HEX),
    checksum_computed = ProtoField.uint8("telvane.checksum.computed", "Computed checksum", base.HEX),
    checksum_good = ProtoField.bool("telvane.checksum.good", "Checksum good"),
}
local field_list = {}
for _, v in pairs(f) do
    field_list[#field_list + 1] = v
end
p.fields = field_list

local e = {
    checksum_good = ProtoExpert.new("telvane.checksum.ok", "Checksum good", expert.group.CHECKSUM,
                                    expert.severity.CHAT),
    checksum_bad = ProtoExpert.new("telvane.checksum.bad", "Bad checksum", expert.group.CHECKSUM,
                                   expert.severity.ERROR),
    short = ProtoExpert.new("telvane.short", "Datagram shorter than its layout", expert.group.MALFORMED,
                            expert.severity.WARN),
    long = ProtoExpert.new("telvane.long", "Bytes after the end of the layout", expert.group.MALFORMED,
                           expert.severity.NOTE),
    unknown_type = ProtoExpert.new("telvane.unknown_type", "Unknown datagram type", expert.group.UNDECODED,
                                   expert.severity.WARN),
    reserved = ProtoExpert.new("telvane.status_flags.reserved.set",
                               "Reserved status bits set: receivers ignore this reply", expert.group.PROTOCOL,
                               expert.severity.WARN),
    invalid_name = ProtoExpert.new("telvane.device_name.invalid", "Device name starts with a control byte (1..31)",
                                   expert.group.PROTOCOL, expert.severity.NOTE),
    refused = ProtoExpert.new("telvane.refused", "Set refused by the device", expert.group.RESPONSE_CODE,
                              expert.severity.NOTE),
}
p.experts = { e.checksum_good, e.checksum_bad, e.short, e.long, e.unknown_type, e.reserved, e.invalid_name,
              e.refused }

-- 8-bit device texts are shown the way the program shows them: UTF-8 when the bytes are
-- valid UTF-8, otherwise Windows-1252.
local cp1252_high = {
    [0x80] = 0x20AC, [0x82] = 0x201A, [0x83] = 0x0192, [0x84] = 0x201E, [0x85] = 0x2026, [0x86] = 0x2020,
    [0x87] = 0x2021, [0x88] = 0x02C6, [0x89] = 0x2030, [0x8A] = 0x0160, [0x8B] = 0x2039, [0x8C] = 0x0152,
    [0x8E] = 0x017D, [0x91] = 0x2018, [0x92] = 0x2019, [0x93] = 0x201C, [0x94] = 0x201D, [0x95] = 0x2022,
    [0x96] = 0x2013, [0x97] = 0x2014, [0x98] = 0x02DC, [0x99] = 0x2122, [0x9A] = 0x0161, [0x9B] = 0x203A,
    [0x9C] = 0x0153, [0x9E] = 0x017E, [0x9F] = 0x0178,
}

local function utf8_encode(cp)
    if cp < 0x80 then
        return string.char(cp)
    elseif cp < 0x800 then
        return string.char(0xC0 + math.floor(cp / 0x40), 0x80 + cp % 0x40)
    elseif cp < 0x10000 then
        return string.char(0xE0 + math.floor(cp / 0x1000), 0x80 + math.floor(cp / 0x40) % 0x40, 0x80 + cp % 0x40)
    end
    return string.char(0xF0 + math.floor(cp / 0x40000), 0x80 + math.floor(cp / 0x1000) % 0x40,
                       0x80 + math.floor(cp / 0x40) % 0x40, 0x80 + cp % 0x40)
end

-- Strict UTF-8 check: no overlong forms, no surrogates, nothing above U+10FFFF.
local function is_utf8(s)
    local i, n = 1, #s
    while i <= n do
        local c = s:byte(i)
        local len, min, cp
        if c < 0x80 then
            len, cp, min = 1, c, 0
        elseif c >= 0xC2 and c <= 0xDF then
            len, cp, min = 2, c - 0xC0, 0x80
        elseif c >= 0xE0 and c <= 0xEF then
            len, cp, min = 3, c - 0xE0, 0x800
        elseif c >= 0xF0 and c <= 0xF4 then
            len, cp, min = 4, c - 0xF0, 0x10000
        else
            return false
        end
        if i + len - 1 > n then return false end
        for k = 1, len - 1 do
            local d = s:byte(i + k)
            if d < 0x80 or d > 0xBF then return false end
            cp = cp * 0x40 + (d - 0x80)
        end
        if cp < min or cp > 0x10FFFF or (cp >= 0xD800 and cp <= 0xDFFF) then return false end
        i = i + len
    end
    return true
end

local function decode_8bit(s)
    if is_utf8(s) then return s end
    local out = {}
    for i = 1, #s do
        local c = s:byte(i)
        local cp = c
        if c >= 0x80 and c <= 0x9F then cp = cp1252_high[c] or 0xFFFD end
        out[#out + 1] = utf8_encode(cp)
    end
    return table.concat(out)
end

-- UTF-16 big-endian code units to UTF-8; unpaired surrogates become U+FFFD.
local function decode_utf16be(bytes)
    local out = {}
    local units = {}
    for i = 1, #bytes - 1, 2 do
        units[#units + 1] = bytes:byte(i) * 256 + bytes:byte(i + 1)
    end
    local k = 1
    while k <= #units do
        local u = units[k]
        if u >= 0xD800 and u <= 0xDBFF and k < #units and units[k + 1] >= 0xDC00 and units[k + 1] <= 0xDFFF then
            out[#out + 1] = utf8_encode(0x10000 + (u - 0xD800) * 0x400 + (units[k + 1] - 0xDC00))
            k = k + 2
        else
            if u >= 0xD800 and u <= 0xDFFF then u = 0xFFFD end
            out[#out + 1] = utf8_encode(u)
            k = k + 1
        end
    end
    return table.concat(out)
end

-- True when any bit of the contiguous mask is set. Plain arithmetic: the bit library
-- differs between the Lua versions that Wireshark releases embed.
local function any_bits(value, mask)
    local low = 1
    while mask % (low * 2) == 0 do low = low * 2 end
    return math.floor(value / low) % math.floor(mask / low + 1) ~= 0
end

local function raw(tvb, offset, length)
    if length <= 0 then return "" end
    return tvb:raw(offset, length)
end

local function sum8(tvb, length)
    local s = 0
    for i = 0, length - 1 do
        s = (s + tvb(i, 1):uint()) % 256
    end
    return s
end

-- Adds a fixed-size field only when all its bytes were received.
local function add_if(tree, tvb, field, offset, size)
    if tvb:len() >= offset + size then
        return tree:add(field, tvb(offset, size))
    end
    return nil
end

local function add_flags(tree, tvb, offset, field, bits)
    if tvb:len() < offset + 1 then return nil end
    local item = tree:add(field, tvb(offset, 1))
    local names = {}
    for _, bit in ipairs(bits) do
        local sub = item:add(bit[1], tvb(offset, 1))
        if bit[2] and any_bits(tvb(offset, 1):uint(), bit[3]) then names[#names + 1] = bit[2] end
    end
    if #names > 0 then item:append_text(" (" .. table.concat(names, ", ") .. ")") end
    return item
end

-- The checksum byte at `offset` covers the bytes before it.
local function add_checksum(tree, tvb, pinfo, offset)
    if tvb:len() < offset + 1 then
        tree:add_proto_expert_info(e.short, "Checksum byte missing")
        return nil
    end
    local stored = tvb(offset, 1):uint()
    local computed = sum8(tvb, offset)
    local item = tree:add(f.checksum, tvb(offset, 1))
    item:add(f.checksum_computed, tvb(offset, 1), computed):set_generated()
    local good = stored == computed
    item:add(f.checksum_good, tvb(offset, 1), good):set_generated()
    if good then
        item:append_text(" [correct]")
        item:add_proto_expert_info(e.checksum_good)
    else
        item:append_text(string.format(" [incorrect, should be 0x%02x]", computed))
        item:add_proto_expert_info(e.checksum_bad, string.format("Bad checksum: 0x%02x, should be 0x%02x", stored,
                                                                 computed))
    end
    return good
end

local function check_size(tree, tvb, expected)
    if tvb:len() < expected then
        tree:add_proto_expert_info(e.short, string.format("Datagram is %d bytes, its layout %d", tvb:len(), expected))
    elseif tvb:len() > expected then
        tree:add_proto_expert_info(e.long, string.format("%d bytes after the %d-byte layout", tvb:len() - expected,
                                                         expected))
    end
end

local function mac_text(tvb, offset)
    if tvb:len() < offset + 6 then return "?" end
    local parts = {}
    for i = 0, 5 do
        parts[#parts + 1] = string.format("%02x", tvb(offset + i, 1):uint())
    end
    return table.concat(parts, "-")
end

local function ipv4_text(tvb, offset)
    if tvb:len() < offset + 4 then return "?" end
    return tostring(tvb(offset, 4):ipv4())
end

-- Read as the program reads it: the first name byte chooses the form even when the length
-- is zero, bytes the datagram does not carry read as zero, and a UTF-16 name ends at a
-- zero unit or after 126 units, whatever the length says.
local MAX_NAME_UNITS = 126

local function byte_at(tvb, offset)
    if offset < tvb:len() then return tvb(offset, 1):uint() end
    return 0
end

local function dissect_name(tree, tvb)
    local length = tvb(NAME_LENGTH_OFFSET, 1):uint()
    tree:add(f.name_length, tvb(NAME_LENGTH_OFFSET, 1))
    local available = math.max(0, math.min(length, tvb:len() - DEVICE_NAME_OFFSET))
    if available < length then
        tree:add_proto_expert_info(e.short, string.format("Device name is %d bytes, %d received", length, available))
    end
    -- The byte that chose the form, or the length byte when there is none.
    local range
    if available > 0 then
        range = tvb(DEVICE_NAME_OFFSET, available)
    elseif tvb:len() > DEVICE_NAME_OFFSET then
        range = tvb(DEVICE_NAME_OFFSET, 1)
    else
        range = tvb(NAME_LENGTH_OFFSET, 1)
    end
    local first = byte_at(tvb, DEVICE_NAME_OFFSET)
    local name, form
    if first >= 0x20 then
        -- Held as a zero-terminated text, so a zero byte inside ends it.
        form = NAME_FORM_8BIT
        local bytes = raw(tvb, DEVICE_NAME_OFFSET, available)
        local z = bytes:find("\0", 1, true)
        name = decode_8bit(z and bytes:sub(1, z - 1) or bytes)
    elseif first == 0 then
        -- The length counts the leading zero byte; only whole code units are taken.
        form = NAME_FORM_UTF16
        local units = length == 0 and 0 or math.min(math.floor((length - 1) / 2), MAX_NAME_UNITS)
        local bytes = {}
        for k = 0, units - 1 do
            local high = byte_at(tvb, DEVICE_NAME_OFFSET + 1 + 2 * k)
            local low = byte_at(tvb, DEVICE_NAME_OFFSET + 2 + 2 * k)
            if high == 0 and low == 0 then break end
            bytes[#bytes + 1] = string.char(high, low)
        end
        name = decode_utf16be(table.concat(bytes))
    else
        form = NAME_FORM_INVALID
        name = INVALID_DEVICE_NAME
    end
    tree:add(f.name_form, range, form):set_generated()
    local item = tree:add(f.device_name, range, name)
    if form == NAME_FORM_INVALID then item:add_proto_expert_info(e.invalid_name) end
    return name
end

local function dissect_enumerate_reply(tree, tvb, pinfo)
    local len = tvb:len()
    if len < ENUMERATE_REPLY_BASE_SIZE then check_size(tree, tvb, ENUMERATE_REPLY_BASE_SIZE) end
    add_if(tree, tvb, f.mac, 4, 6)
    add_if(tree, tvb, f.ipv4_address, 10, 4)
    add_if(tree, tvb, f.ipv4_gateway, 14, 4)
    add_if(tree, tvb, f.ipv4_mask, 18, 4)
    local status = add_flags(tree, tvb, 22, f.status_flags, {
        { f.status_dhcp, "DHCP", 0x01 }, { f.status_locked, "locked", 0x02 }, { f.status_reserved },
    })
    if status and any_bits(tvb(22, 1):uint(), 0x3C) then status:add_proto_expert_info(e.reserved) end
    if len > 23 then
        -- Up to the first zero byte, or all 16 bytes.
        local area = raw(tvb, 23, math.min(16, len - 23))
        local z = area:find("\0", 1, true)
        local text = z and area:sub(1, z - 1) or area
        tree:add(f.model_name, tvb(23, #area), decode_8bit(text))
    end
    add_checksum(tree, tvb, pinfo, 39)

    local info = string.format("%s %s", mac_text(tvb, 4), ipv4_text(tvb, 10))
    if len > ENUMERATE_REPLY_BASE_SIZE then
        local ext = tree:add(f.extension, tvb(ENUMERATE_REPLY_BASE_SIZE))
        add_flags(ext, tvb, 40, f.ext_flags, {
            { f.ext_dns4_auto, "EXT_DNS4_AUTO", 0x01 }, { f.ext_dns6_auto, "EXT_DNS6_AUTO", 0x02 },
            { f.ext_dhcp6, "EXT_DHCP6", 0x04 }, { f.ext_ipv6, "EXT_IPV6", 0x08 },
        })
        add_if(ext, tvb, f.dns4_preferred, 41, 4)
        add_if(ext, tvb, f.dns4_alternate, 45, 4)
        add_if(ext, tvb, f.ipv6_address, 49, 16)
        add_if(ext, tvb, f.ipv6_prefix_length, 65, 1)
        add_if(ext, tvb, f.ipv6_gateway, 66, 16)
        add_if(ext, tvb, f.dns6_preferred, 82, 16)
        add_if(ext, tvb, f.dns6_alternate, 98, 16)
        if len > NAME_LENGTH_OFFSET then
            local name = dissect_name(ext, tvb)
            info = info .. string.format(' "%s"', name)
            local expected = DEVICE_NAME_OFFSET + tvb(NAME_LENGTH_OFFSET, 1):uint()
            if len > expected then check_size(ext, tvb, expected) end
        else
            ext:add_proto_expert_info(e.short, string.format("Extension is %d bytes, at least 75 expected",
                                                             len - ENUMERATE_REPLY_BASE_SIZE))
            -- The program reads the missing name bytes as zeros: an empty UTF-16 name.
            local range = tvb(ENUMERATE_REPLY_BASE_SIZE)
            ext:add(f.name_form, range, NAME_FORM_UTF16):set_generated()
            ext:add(f.device_name, range, ""):set_generated()
            info = info .. ' ""'
        end
    end
    return info
end

local function dissect_set_basic(tree, tvb, pinfo)
    check_size(tree, tvb, 24)
    add_if(tree, tvb, f.mac, 4, 6)
    add_if(tree, tvb, f.ipv4_address, 10, 4)
    add_if(tree, tvb, f.ipv4_gateway, 14, 4)
    add_if(tree, tvb, f.ipv4_mask, 18, 4)
    add_if(tree, tvb, f.dhcp, 22, 1)
    add_checksum(tree, tvb, pinfo, 23)
    return string.format("to %s %s", mac_text(tvb, 4), ipv4_text(tvb, 10))
end

local function dissect_set_extended(tree, tvb, pinfo)
    check_size(tree, tvb, 97)
    add_if(tree, tvb, f.mac, 4, 6)
    add_if(tree, tvb, f.ipv4_address, 10, 4)
    -- Mask before gateway here, unlike the basic request and the reply.
    add_if(tree, tvb, f.ipv4_mask, 14, 4)
    add_if(tree, tvb, f.ipv4_gateway, 18, 4)
    add_if(tree, tvb, f.dns4_preferred, 22, 4)
    add_if(tree, tvb, f.dns4_alternate, 26, 4)
    add_flags(tree, tvb, 30, f.set_flags, {
        { f.set_dns4_auto, "SET_DNS4_AUTO", 0x01 }, { f.set_dhcp4, "SET_DHCP4", 0x02 },
        { f.set_dns6_auto, "SET_DNS6_AUTO", 0x04 }, { f.set_dhcp6, "SET_DHCP6", 0x08 }, { f.set_reserved },
    })
    add_if(tree, tvb, f.ipv6_address, 31, 16)
    add_if(tree, tvb, f.ipv6_prefix_length, 47, 1)
    add_if(tree, tvb, f.ipv6_gateway, 48, 16)
    add_if(tree, tvb, f.dns6_preferred, 64, 16)
    add_if(tree, tvb, f.dns6_alternate, 80, 16)
    add_checksum(tree, tvb, pinfo, 96)
    return string.format("to %s %s", mac_text(tvb, 4), ipv4_text(tvb, 10))
end

local function dissect_set_reply(tree, tvb, pinfo)
    check_size(tree, tvb, 12)
    add_if(tree, tvb, f.mac, 4, 6)
    local info = mac_text(tvb, 4)
    if tvb:len() >= 11 then
        local result = tvb(10, 1):uint()
        local item = tree:add(f.result, tvb(10, 1))
        item:append_text(result == 0 and " (accepted)" or " (refused)")
        tree:add(f.accepted, tvb(10, 1), result == 0):set_generated()
        if result ~= 0 then item:add_proto_expert_info(e.refused) end
        info = info .. (result == 0 and " accepted" or string.format(" refused (%d)", result))
    end
    local good = add_checksum(tree, tvb, pinfo, 11)
    -- The program takes a damaged set reply as a refusal.
    if good == false then info = info .. " [bad checksum: taken as refused]" end
    return info
end

function p.dissector(tvb, pinfo, root)
    local len = tvb:len()
    if len < 4 or tvb(0, 2):uint() ~= 0xFFFF then return 0 end
    pinfo.cols.protocol = "TELVANE"
    local tree = root:add(p, tvb())
    tree:add(f.marker, tvb(0, 2))
    tree:add(f.type, tvb(2, 2))
    local t = tvb(2, 2):uint()
    local name = type_names[t]
    local info
    if t == MSG_ENUMERATE then
        check_size(tree, tvb, type_sizes[t])
        add_checksum(tree, tvb, pinfo, 4)
        info = ""
    elseif t == MSG_ENUMERATE_REPLY then
        info = dissect_enumerate_reply(tree, tvb, pinfo)
    elseif t == MSG_SET_BASIC then
        info = dissect_set_basic(tree, tvb, pinfo)
    elseif t == MSG_SET_EXTENDED then
        info = dissect_set_extended(tree, tvb, pinfo)
    elseif t == MSG_SET_REPLY then
        info = dissect_set_reply(tree, tvb, pinfo)
    else
        name = string.format("Unknown type 0x%04x", t)
        tree:add_proto_expert_info(e.unknown_type)
        info = ""
    end
    tree:append_text(", " .. name)
    pinfo.cols.info = info ~= "" and (name .. " " .. info) or name
    return len
end

DissectorTable.get("udp.port"):add(DISCOVERY_PORT, p)
