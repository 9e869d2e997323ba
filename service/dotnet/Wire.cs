// The adapter's side of the wire format shared with the native provider. Little-endian values:
// int32 as 4 bytes; bool as 1 byte; a text as its int32 length in UTF-16 units (-1 for null)
// followed by the units; a list as its int32 count (-1 for null) followed by its elements; a
// model as 1 byte (0 for null, 1 present) followed by its properties in the contract's order.

using System;
using System.Collections.Generic;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;
using KobMachineControl.ApiModels;

namespace KobMachineControl.Adapter
{
    internal unsafe ref struct WireReader
    {
        private readonly byte* _data;
        private readonly int _length;
        private int _position;

        public WireReader(byte* data, int length)
        {
            _data = data;
            _length = length;
            _position = 0;
        }

        private byte* Take(long size)
        {
            if (size < 0 || size > _length - _position) throw new InvalidOperationException("malformed arguments");
            byte* at = _data + _position;
            _position += (int)size;
            return at;
        }

        public int Int32() => Unsafe.ReadUnaligned<int>(Take(4));

        public string Text()
        {
            int length = Int32();
            if (length == -1) return null;
            return new string((char*)Take(2L * length), 0, length);
        }

        public List<string> Texts()
        {
            int count = Int32();
            if (count == -1) return null;
            var list = new List<string>(count);
            for (int i = 0; i < count; i++) list.Add(Text());
            return list;
        }
    }

    // Writes straight into native memory, which the native side takes over and frees.
    internal sealed unsafe class WireWriter : IDisposable
    {
        private byte* _data;
        private long _length;
        private long _capacity;

        private byte* Reserve(long size)
        {
            if (_length + size > _capacity)
            {
                long capacity = Math.Max(Math.Max(_capacity * 2, _length + size), 256);
                if (capacity > int.MaxValue) throw new InvalidOperationException("result too large to hand over");
                _data = (byte*)NativeMemory.Realloc(_data, (nuint)capacity);
                _capacity = capacity;
            }
            byte* at = _data + _length;
            _length += size;
            return at;
        }

        public void Int32(int value) => Unsafe.WriteUnaligned(Reserve(4), value);
        public void Bool(bool value) => *Reserve(1) = value ? (byte)1 : (byte)0;

        public void Text(string value)
        {
            if (value == null) { Int32(-1); return; }
            Int32(value.Length);
            long size = 2L * value.Length;
            byte* at = Reserve(size);
            fixed (char* source = value) Buffer.MemoryCopy(source, at, size, size);
        }

        private bool Present(object model)
        {
            *Reserve(1) = model == null ? (byte)0 : (byte)1;
            return model != null;
        }

        public void List<T>(List<T> list, Action<WireWriter, T> element)
        {
            if (list == null) { Int32(-1); return; }
            Int32(list.Count);
            foreach (var item in list) element(this, item);
        }

        public void Texts(List<string> list) => List(list, static (w, t) => w.Text(t));

        public void Model(Systems model)
        {
            if (Present(model)) List(model.systems, static (w, s) => w.Model(s));
        }

        public void Model(ApiModels.System model)
        {
            if (!Present(model)) return;
            if (Present(model.vendorinfo))
            {
                Text(model.vendorinfo.Id);
                Text(model.vendorinfo.Name);
                Text(model.vendorinfo.Company);
                Bool(model.vendorinfo.ProductionReady);
            }
            Text(model.Category);
        }

        public void Model(Connection model)
        {
            if (!Present(model)) return;
            Text(model.Id);
            Text(model.Name);
            Text(model.Company);
            Text(model.Status);
            Text(model.Category);
        }

        public void Model(UnitTypes model)
        {
            if (!Present(model)) return;
            Text(model.UnitType);
            List(model.LocalizedLabels, static (w, label) =>
            {
                if (!w.Present(label)) return;
                w.Text(label.Label);
                w.Text(label.Locale);
            });
        }

        public void Model(ExportRule model)
        {
            if (!Present(model)) return;
            Text(model.id);
            Text(model.Name);
            Text(model.Description);
            Text(model.Type);
            if (Present(model.domain))
            {
                Text(model.domain.Id);
                Text(model.domain.Name);
            }
            var definition = model.definition;
            if (!Present(definition)) return;
            Text(definition.ModelType);
            Text(definition.LayersType);
            Text(definition.SurfacesOfLayers);
            Texts(definition.Equipments);
            List(definition.Layers, static (w, layer) =>
            {
                if (!w.Present(layer)) return;
                w.Int32(layer.Id);
                w.Text(layer.Name);
            });
        }

        // Hands the buffer to the native side, which frees it.
        public void Release(byte** data, int* length)
        {
            *data = _data;
            *length = (int)_length;
            _data = null;
            _length = _capacity = 0;
        }

        public void Dispose()
        {
            NativeMemory.Free(_data);
            _data = null;
        }
    }
}
