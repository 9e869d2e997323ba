// The scenario file, read once on first use, and the journal: the same format and the same
// semantics as the native offline service, so both give identical answers and journals.

using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;
using System.Text;
using System.Text.Encodings.Web;
using System.Text.Json;
using KobMachineControl.ApiModels;

namespace KobMachineControl
{
    internal sealed class Scenario
    {
        internal sealed class Answer
        {
            public object[] Match;
            public int? ResponseCode;
            public object Result;
            public string Throws;
        }

        private enum Kind { Text, Texts, Integer }

        private static readonly Lazy<Scenario> Loaded = new Lazy<Scenario>(
            () => new Scenario(Environment.GetEnvironmentVariable("KOBMC_SCENARIO"),
                               Environment.GetEnvironmentVariable("KOBMC_JOURNAL")));

        public static Scenario Current => Loaded.Value;

        private readonly object _lock = new object();
        private readonly Dictionary<string, List<Answer>> _answers = new Dictionary<string, List<Answer>>();
        private readonly string _journal;

        public string Tenant { get; set; }
        public string Project { get; set; }
        public bool LoggedIn { get; set; }

        private static readonly Dictionary<string, (Kind[] Parameters, Func<JsonElement, object> Result)> Operations =
            new Dictionary<string, (Kind[], Func<JsonElement, object>)>
            {
                ["SetTenantUniqueId"] = (new[] { Kind.Text }, None),
                ["SetProject"] = (new[] { Kind.Text }, None),
                ["IsLoggedIn"] = (new Kind[0], e => e.ValueKind == JsonValueKind.True),
                ["Logout"] = (new Kind[0], None),
                ["GetSystemsMC"] = (new Kind[0], ReadSystems),
                ["GetSystemsVT"] = (new Kind[0], ReadSystems),
                ["GetSystem"] = (new[] { Kind.Text }, ReadSystem),
                ["GetConnectionsMC"] = (new Kind[0], e => ReadList(e, ReadConnection)),
                ["GetConnectionsVT"] = (new Kind[0], e => ReadList(e, ReadConnection)),
                ["GetTypes"] = (new Kind[0], e => ReadList(e, ReadUnitTypes)),
                ["GetExportRules"] = (new Kind[0], e => ReadList(e, ReadExportRule)),
                ["GetDomains"] = (new[] { Kind.Integer }, e => ReadList(e, ReadText)),
                ["GetExportFormats"] = (new[] { Kind.Texts, Kind.Text }, e => ReadList(e, ReadText)),
                ["SetExportMcFile"] = (new[] { Kind.Text, Kind.Texts, Kind.Text, Kind.Text, Kind.Integer }, None),
                ["SetExportVtFile"] = (new[] { Kind.Text, Kind.Text, Kind.Text, Kind.Integer }, None),
            };

        private Scenario(string path, string journal)
        {
            if (string.IsNullOrEmpty(path)) throw new InvalidOperationException("KOBMC_SCENARIO names no scenario file");
            _journal = string.IsNullOrEmpty(journal) ? null : journal;
            using var document = JsonDocument.Parse(File.ReadAllBytes(path), new JsonDocumentOptions { MaxDepth = 64 });
            var root = document.RootElement;
            if (root.TryGetProperty("state", out var state))
            {
                Tenant = Get(state, "tenant", ReadText);
                Project = Get(state, "project", ReadText);
                LoggedIn = Get(state, "loggedIn", e => e.GetBoolean());
            }
            if (!root.TryGetProperty("answers", out var answers)) return;
            foreach (var operation in answers.EnumerateObject())
            {
                if (!Operations.TryGetValue(operation.Name, out var shape))
                    throw new InvalidDataException($"{path}: unknown operation '{operation.Name}'");
                var list = new List<Answer>();
                var elements = operation.Value.ValueKind == JsonValueKind.Array
                    ? operation.Value.EnumerateArray().ToList()
                    : new List<JsonElement> { operation.Value };
                foreach (var element in elements)
                {
                    list.Add(new Answer
                    {
                        Match = element.TryGetProperty("match", out var match)
                            ? match.EnumerateArray().Select((a, i) => ReadArgument(shape.Parameters[i], a)).ToArray()
                            : null,
                        ResponseCode = element.TryGetProperty("responsecode", out var code) ? code.GetInt32() : null,
                        Result = shape.Result(element.TryGetProperty("result", out var result) ? result : default),
                        Throws = element.TryGetProperty("throws", out var throws) ? throws.GetString() : null,
                    });
                }
                _answers[operation.Name] = list;
            }
        }

        // Journals the call, then finds the first answer that applies: its code is written first,
        // then its error raised. Null when none applies.
        public Answer Consult(string operation, object[] arguments, ref int responsecode)
        {
            Record(operation, arguments);
            if (!_answers.TryGetValue(operation, out var answers)) return null;
            foreach (var answer in answers)
            {
                if (answer.Match != null && !SameArguments(answer.Match, arguments)) continue;
                if (answer.ResponseCode.HasValue) responsecode = answer.ResponseCode.Value;
                if (answer.Throws != null) throw new InvalidOperationException(answer.Throws);
                return answer;
            }
            return null;
        }

        private void Record(string operation, object[] arguments)
        {
            if (_journal == null) return;
            var buffer = new MemoryStream();
            using (var writer = new Utf8JsonWriter(buffer, new JsonWriterOptions { Encoder = JavaScriptEncoder.UnsafeRelaxedJsonEscaping }))
            {
                writer.WriteStartObject();
                writer.WriteString("operation", operation);
                writer.WriteStartArray("arguments");
                foreach (var argument in arguments) WriteArgument(writer, argument);
                writer.WriteEndArray();
                writer.WriteEndObject();
            }
            buffer.WriteByte((byte)'\n');
            lock (_lock)
            {
                using var file = new FileStream(_journal, FileMode.Append, FileAccess.Write, FileShare.ReadWrite);
                buffer.WriteTo(file);
                file.Flush(true);
            }
        }

        private static void WriteArgument(Utf8JsonWriter writer, object argument)
        {
            switch (argument)
            {
                case null: writer.WriteNullValue(); break;
                case int number: writer.WriteNumberValue(number); break;
                case string text: writer.WriteStringValue(WellFormed(text)); break;
                case List<string> texts:
                    writer.WriteStartArray();
                    foreach (var text in texts)
                    {
                        if (text == null) writer.WriteNullValue(); else writer.WriteStringValue(WellFormed(text));
                    }
                    writer.WriteEndArray();
                    break;
            }
        }

        // Lone surrogates cannot be written as JSON text; they are journalled as U+FFFD.
        private static string WellFormed(string text)
        {
            var builder = new StringBuilder(text.Length);
            for (int i = 0; i < text.Length; i++)
            {
                char c = text[i];
                if (char.IsHighSurrogate(c) && i + 1 < text.Length && char.IsLowSurrogate(text[i + 1]))
                {
                    builder.Append(c).Append(text[++i]);
                }
                else builder.Append(char.IsSurrogate(c) ? '\uFFFD' : c);
            }
            return builder.ToString();
        }

        private static bool SameArguments(object[] a, object[] b)
        {
            if (a.Length != b.Length) return false;
            for (int i = 0; i < a.Length; i++)
            {
                bool same = (a[i], b[i]) switch
                {
                    (null, null) => true,
                    (List<string> x, List<string> y) => x.SequenceEqual(y, StringComparer.Ordinal),
                    (string x, string y) => string.Equals(x, y, StringComparison.Ordinal),
                    (int x, int y) => x == y,
                    _ => false,
                };
                if (!same) return false;
            }
            return true;
        }

        private static object ReadArgument(Kind kind, JsonElement element) => kind switch
        {
            Kind.Text => ReadText(element),
            Kind.Texts => ReadList(element, ReadText),
            _ => element.GetInt32(),
        };

        // ---- Models, by the same property names as the service's classes ------------------------

        private static object None(JsonElement element) => null;

        private static bool IsNull(JsonElement e) => e.ValueKind == JsonValueKind.Undefined || e.ValueKind == JsonValueKind.Null;

        private static T Get<T>(JsonElement model, string name, Func<JsonElement, T> read) =>
            model.TryGetProperty(name, out var value) && !IsNull(value) ? read(value) : default;

        private static string ReadText(JsonElement e) => IsNull(e) ? null : e.GetString();

        private static List<T> ReadList<T>(JsonElement e, Func<JsonElement, T> read) =>
            IsNull(e) ? null : e.EnumerateArray().Select(element => IsNull(element) ? default : read(element)).ToList();

        private static Systems ReadSystems(JsonElement e) =>
            IsNull(e) ? null : new Systems { systems = Get(e, "systems", x => ReadList(x, ReadSystem)) };

        private static ApiModels.System ReadSystem(JsonElement e) => IsNull(e) ? null : new ApiModels.System
        {
            vendorinfo = Get(e, "vendorinfo", v => new VendorInfo
            {
                Id = Get(v, "Id", ReadText),
                Name = Get(v, "Name", ReadText),
                Company = Get(v, "Company", ReadText),
                ProductionReady = Get(v, "ProductionReady", b => b.GetBoolean()),
            }),
            Category = Get(e, "Category", ReadText),
        };

        private static Connection ReadConnection(JsonElement e) => new Connection
        {
            Id = Get(e, "Id", ReadText),
            Name = Get(e, "Name", ReadText),
            Company = Get(e, "Company", ReadText),
            Status = Get(e, "Status", ReadText),
            Category = Get(e, "Category", ReadText),
        };

        private static UnitTypes ReadUnitTypes(JsonElement e) => new UnitTypes
        {
            UnitType = Get(e, "UnitType", ReadText),
            LocalizedLabels = Get(e, "LocalizedLabels", x => ReadList(x, l => new LocalizedLabel
            {
                Label = Get(l, "Label", ReadText),
                Locale = Get(l, "Locale", ReadText),
            })),
        };

        private static ExportRule ReadExportRule(JsonElement e) => new ExportRule
        {
            id = Get(e, "id", ReadText),
            Name = Get(e, "Name", ReadText),
            Description = Get(e, "Description", ReadText),
            Type = Get(e, "Type", ReadText),
            domain = Get(e, "domain", d => new Domain { Id = Get(d, "Id", ReadText), Name = Get(d, "Name", ReadText) }),
            definition = Get(e, "definition", d => new Definition
            {
                ModelType = Get(d, "ModelType", ReadText),
                LayersType = Get(d, "LayersType", ReadText),
                SurfacesOfLayers = Get(d, "SurfacesOfLayers", ReadText),
                Equipments = Get(d, "Equipments", x => ReadList(x, ReadText)),
                Layers = Get(d, "Layers", x => ReadList(x, l => new Layer { Id = Get(l, "Id", i => i.GetInt32()), Name = Get(l, "Name", ReadText) })),
            }),
        };
    }
}
